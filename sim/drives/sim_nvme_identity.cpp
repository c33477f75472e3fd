#include "sim/drives/sim_nvme_identity.h"

#include <algorithm>

namespace sim {
namespace {

void PutText(NvmeIdentifyData& data, std::size_t at, std::size_t width, std::string_view text,
             std::uint8_t pad) {
  std::fill_n(data.begin() + at, width, pad);
  std::copy_n(text.begin(), std::min(width, text.size()), data.begin() + at);
}

void PutU16(NvmeIdentifyData& data, std::size_t at, std::uint16_t v) {
  data[at] = std::uint8_t(v);
  data[at + 1] = std::uint8_t(v >> 8);
}

}  // namespace

int NvmeSlotCount(std::uint8_t frmw) {
  const int slots = (frmw >> 1) & 7;
  return slots ? slots : 1;
}

NvmeIdentifyData BuildIdentifyController(const SimNvmeIdentity& identity,
                                         std::string_view firmware) {
  NvmeIdentifyData data{};
  PutU16(data, 0, identity.vendorId);
  PutU16(data, 2, identity.subsystemVendorId);
  PutText(data, 4, 20, identity.serial, ' ');
  PutText(data, 24, 40, identity.model, ' ');
  PutText(data, 64, 8, firmware, ' ');
  PutU16(data, 78, identity.controllerId);
  data[260] = identity.frmw;
  data[319] = identity.fwug;
  PutText(data, 3072, 32, identity.partId, 0);
  return data;
}

}  // namespace sim
