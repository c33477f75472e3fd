// The phy information a CSMI driver returns (CSMI_SAS_PHY_INFO without its header): whatever
// number of phys it claims, the scan reads all 32 entities and each stays inside the answer.
#include <cstdint>
#include <cstring>
#include <memory>

#include "framework/bytes.h"
#include "transport/csmi_phy_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // On the heap, exactly the answer's size, so that a read past it is caught.
  const auto info = std::make_unique<transport::CsmiPhyInfo>();
  std::memcpy(info->data(), data, size < info->size() ? size : info->size());

  transport::NumberOfPhys(*info);
  for (std::size_t p = 0; p < transport::kCsmiPhyEntities; ++p) {
    const transport::CsmiPhy phy = transport::PhyAt(*info, p);
    if (!phy.IsSataTarget()) continue;
    const std::uint64_t address = fw::GetU64le(phy.attachedSasAddress, 0);
    if (phy.SasAddressLow() != std::uint32_t(address) ||
        phy.SasAddressHigh() != std::uint32_t(address >> 32))
      __builtin_trap();
  }
  return 0;
}
