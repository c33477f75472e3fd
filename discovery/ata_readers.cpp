// The ATA readers: the identity from IDENTIFY DEVICE with the extended revision of the vendor
// version request, and the part identifier from log 9Ah. Also used for SATA drives behind CSMI.
#include <cstring>
#include <exception>
#include <span>

#include "discovery/drive_readers.h"
#include "framework/conversions.h"
#include "transport/ata_device.h"

namespace discovery {
namespace {

constexpr float kIdentifyTimeout = 3.0f;
constexpr float kPpidTimeout = 10.0f;
constexpr float kDefaultTimeout = 20.0f;
// Packages of this style address drives that have no vendor version request.
constexpr int kStyleWithoutVendorRequest = 20;

// IDENTIFY DEVICE strings, as byte offsets of their first word.
constexpr std::size_t kSerialAt = 2 * 10;
constexpr std::size_t kFirmwareAt = 2 * 23;
constexpr std::size_t kModelAt = 2 * 27;
// Of the part-identifier log, this many leading bytes are stored as ATA words.
constexpr std::size_t kPpidSwapped = 24;

// An ATA string: the two bytes of each word swapped back into reading order.
void TakeSwapped(const std::uint8_t* data, char* field, std::size_t width) {
  for (std::size_t i = 0; i + 1 < width; i += 2) {
    field[i] = char(data[i + 1]);
    field[i + 1] = char(data[i]);
  }
}

// The first 8 bytes of the vendor version reply, or the firmware revision when the request
// failed or answered blanks.
void TakeExtendedRevision(transport::TAtaDevice& device, TCurrentIdentity& identity) {
  std::memcpy(identity.fwExt, identity.firmware, sizeof identity.fwExt);
  if (device.VisualStyle() == kStyleWithoutVendorRequest) return;
  try {
    if (device.ReadVendorVersion() != transport::ATACMD_OK) return;
    TakeVendorRevision(std::span<const std::uint8_t, 8>(device.GetResponseBuffer(), 8), identity);
  } catch (const std::exception&) {
    std::memcpy(identity.fwExt, identity.firmware, sizeof identity.fwExt);
  }
}

}  // namespace

void TakeAtaIdentity(std::span<const std::uint8_t, 512> identify, TCurrentIdentity& identity) {
  TakeSwapped(&identify[kModelAt], identity.model, sizeof identity.model);
  TakeSwapped(&identify[kFirmwareAt], identity.firmware, sizeof identity.firmware);
  TakeSwapped(&identify[kSerialAt], identity.serial, sizeof identity.serial);
}

void TakeVendorRevision(std::span<const std::uint8_t, 8> reply, TCurrentIdentity& identity) {
  if (fw::ReadTrimmedText(reply.data(), reply.size()).empty()) return;
  std::memcpy(identity.fwExt, reply.data(), sizeof identity.fwExt);
}

void TakePpidLog(std::span<const std::uint8_t, 512> log, TCurrentIdentity& identity) {
  TakeSwapped(log.data(), identity.PPID, kPpidSwapped);
  std::memcpy(identity.PPID + kPpidSwapped, &log[kPpidSwapped],
              sizeof identity.PPID - kPpidSwapped);
}

std::uint8_t ReadDriveIdentity(transport::TAtaDevice& device, TCurrentIdentity& identity) {
  device.SetTimeout(kIdentifyTimeout);
  const std::uint8_t result = device.IdentifyDevice();
  device.SetTimeout(kDefaultTimeout);
  std::memset(identity.firmware, 0, sizeof identity.firmware);
  std::memset(identity.model, 0, sizeof identity.model);
  std::memset(identity.serial, 0, sizeof identity.serial);
  std::memset(identity.fwExt, 0, sizeof identity.fwExt);
  if (result != transport::ATACMD_OK) return result;

  TakeAtaIdentity(std::span<const std::uint8_t, 512>(device.GetResponseBuffer(), 512), identity);
  // The vendor request reuses the response buffer: the IDENTIFY fields are taken first.
  TakeExtendedRevision(device, identity);
  return transport::ATACMD_OK;
}

std::uint8_t ReadAtaPpid(transport::TAtaDevice& device, TCurrentIdentity& identity) {
  device.SetTimeout(kPpidTimeout);
  const std::uint8_t result = device.ReadPpidLog();
  device.SetTimeout(kDefaultTimeout);
  std::memset(identity.PPID, 0, sizeof identity.PPID);
  if (result != transport::ATACMD_OK) return result;
  TakePpidLog(std::span<const std::uint8_t, 512>(device.GetResponseBuffer(), 512), identity);
  return result;
}

}  // namespace discovery
