// The phy information a CSMI controller reports (CSMI_SAS_PHY_INFO, without its header), and
// the few facts of one phy entity that the scan asks for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "os/layouts/csmi.h"

namespace transport {

using CsmiPhyInfo = std::array<std::uint8_t, os::layout::csmi::phy_info::kInformationSize>;

struct CsmiPhy {
  std::uint8_t identifyDeviceType = 0;  // the phy's own address frame
  std::uint8_t phyIdentifier = 0;       // of the phy's own frame
  std::uint8_t portIdentifier = 0;
  std::uint8_t attachedDeviceType = 0;  // 0: nothing attached
  std::uint8_t attachedTargetProtocol = 0;
  std::array<std::uint8_t, 8> attachedSasAddress = {};  // as the controller gives it
  std::uint8_t attachedPhyIdentifier = 0;

  // A SATA drive the STP pass-through can reach: a device on the phy and a SATA or STP target.
  bool IsSataTarget() const;
  // The address as two 32-bit words, low word first, for SetCsmiSasAddress.
  std::uint32_t SasAddressLow() const;
  std::uint32_t SasAddressHigh() const;
};

inline constexpr std::size_t kCsmiPhyEntities = os::layout::csmi::phy_info::kMaxPhys;

std::uint8_t NumberOfPhys(const CsmiPhyInfo& info);
// Entity `index` of the 32, whatever the reported number of phys.
CsmiPhy PhyAt(const CsmiPhyInfo& info, std::size_t index);

}  // namespace transport
