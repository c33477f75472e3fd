// The phy information a CSMI driver returns (CSMI_SAS_PHY_INFO without its header): whatever
// number of phys it claims, the scan reads all 32 entities and each stays inside the answer.
#include <cstdint>
#include <cstring>
#include <memory>

#include "transport/csmi_phy_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // On the heap, exactly the answer's size, so that a read past it is caught.
  const auto info = std::make_unique<transport::CsmiPhyInfo>();
  std::memcpy(info->data(), data, size < info->size() ? size : info->size());

  transport::NumberOfPhys(*info);
  for (std::size_t p = 0; p < transport::kCsmiPhyEntities; ++p) {
    const transport::CsmiPhy phy = transport::PhyAt(*info, p);
    if (phy.IsSataTarget()) (void)(phy.SasAddressLow() + phy.SasAddressHigh());
  }
  return 0;
}
