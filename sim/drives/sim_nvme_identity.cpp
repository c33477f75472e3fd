#include "sim/drives/sim_nvme_identity.h"

#include <algorithm>

namespace sim {
namespace {

constexpr std::size_t kSerial = 4, kModel = 24, kFirmware = 64, kPartId = 3072;
constexpr std::size_t kSerialWidth = 20, kModelWidth = 40, kFirmwareWidth = 8, kPartIdWidth = 32;

void PutU16(NvmeIdentifyData& data, std::size_t at, std::uint16_t v) {
  data[at] = std::uint8_t(v);
  data[at + 1] = std::uint8_t(v >> 8);
}

std::uint16_t U16(const NvmeIdentifyData& data, std::size_t at) {
  return std::uint16_t(data[at] | data[at + 1] << 8);
}

// Text fields end in blanks or, in the vendor area, zeros.
std::string_view WithoutPadding(std::string_view text) {
  const std::size_t end = text.find_last_not_of(std::string_view(" \0", 2));
  return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

std::string Text(const NvmeIdentifyData& data, std::size_t at, std::size_t width) {
  return std::string(
      WithoutPadding(std::string_view(reinterpret_cast<const char*>(data.data()) + at, width)));
}

// With `all` off the field is written only when it says something else, so that a captured
// field keeps its own padding.
void PutText(NvmeIdentifyData& data, std::size_t at, std::size_t width, std::string_view text,
             std::uint8_t pad, bool all) {
  if (!all && WithoutPadding(text) == Text(data, at, width)) return;
  std::fill_n(data.begin() + at, width, pad);
  std::copy_n(text.begin(), std::min(width, text.size()), data.begin() + at);
}

}  // namespace

int NvmeSlotCount(std::uint8_t frmw) {
  const int slots = (frmw >> 1) & 7;
  return slots ? slots : 1;
}

NvmeIdentifyData BuildIdentifyController(const SimNvmeIdentity& identity,
                                         std::string_view firmware) {
  const bool all = !identity.captured;
  NvmeIdentifyData data = identity.captured.value_or(NvmeIdentifyData{});
  PutU16(data, 0, identity.vendorId);
  PutU16(data, 2, identity.subsystemVendorId);
  PutText(data, kSerial, kSerialWidth, identity.serial, ' ', all);
  PutText(data, kModel, kModelWidth, identity.model, ' ', all);
  PutText(data, kFirmware, kFirmwareWidth, firmware, ' ', all);
  PutU16(data, 78, identity.controllerId);
  data[260] = identity.frmw;
  data[319] = identity.fwug;
  PutText(data, kPartId, kPartIdWidth, identity.partId, 0, all);
  return data;
}

SimNvmeIdentity NvmeIdentityFromCapture(const NvmeIdentifyData& captured) {
  SimNvmeIdentity id;
  id.vendorId = U16(captured, 0);
  id.subsystemVendorId = U16(captured, 2);
  id.serial = Text(captured, kSerial, kSerialWidth);
  id.model = Text(captured, kModel, kModelWidth);
  id.firmware = Text(captured, kFirmware, kFirmwareWidth);
  id.controllerId = U16(captured, 78);
  id.frmw = captured[260];
  id.fwug = captured[319];
  id.partId = Text(captured, kPartId, kPartIdWidth);
  id.captured = captured;
  return id;
}

}  // namespace sim
