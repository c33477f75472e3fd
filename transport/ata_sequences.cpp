// The fixed command sequences other parts of the program call by name. Each builds its register
// block (bytes not named are 0), takes data-out from RequestBuffer and data-in into
// ResponseBuffer, and answers the result of its last command. A time-out a sequence sets stays
// set afterwards.
#include <algorithm>
#include <cstring>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "transport/ata_device.h"

namespace transport {
namespace {

constexpr std::uint32_t kSector = 512;

constexpr std::uint8_t kCmdIdentifyDevice = 0xEC;
constexpr std::uint8_t kCmdReadLogExt = 0x2F;
constexpr std::uint8_t kCmdVendor = 0xFF;
constexpr std::uint8_t kCmdWriteBuffer = 0xE8;
constexpr std::uint8_t kCmdReadBuffer = 0xE4;

constexpr std::uint8_t kPpidLog = 0x9A;
constexpr std::uint8_t kVendorRequestPhase = 0xFC;  // features: the request goes out
constexpr std::uint8_t kVendorReplyPhase = 0xFD;    // features: the reply comes in
constexpr std::uint8_t kPeaReplyStatus = 0x80;      // features: the status dword of a request

// The specific-configuration values (low byte of IDENTIFY word 2) of the drives the package
// addresses.
constexpr std::uint8_t kKnownConfigurations[] = {0x37, 0x73, 0x8C, 0xC8};

TaskFile Registers(std::uint8_t command, std::uint8_t features, std::uint8_t count,
                   std::uint8_t lbaLow = 0, std::uint8_t lbaMid = 0, std::uint8_t lbaHigh = 0) {
  TaskFile tf = {};
  tf[reg::kFeatures] = features;
  tf[reg::kCount] = count;
  tf[reg::kLbaLow] = lbaLow;
  tf[reg::kLbaMid] = lbaMid;
  tf[reg::kLbaHigh] = lbaHigh;
  tf[reg::kCommand] = command;
  return tf;
}

// WRITE BUFFER and READ BUFFER address the drive's request channels by a signature in the LBA.
TaskFile Buffer(std::uint8_t command, std::uint8_t features, std::uint8_t count, const char* sig) {
  return Registers(command, features, count, std::uint8_t(sig[0]), std::uint8_t(sig[1]),
                   std::uint8_t(sig[2]));
}

// The key that marks a PEA request as meant for the drive's vendor channel.
void PutPeaKey(std::uint8_t* request) {
  request[28] = 0x12;
  request[29] = 0x34;
  request[30] = 0x56;
  request[31] = 0x78;
}

bool FileExists(const char* path) {
  return os::Current().GetFileAttributesA(path) != os::kINVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::uint8_t TAtaDevice::Sequence(TaskFile taskFile, int direction, std::uint32_t length) {
  std::uint8_t* buffer = nullptr;
  if (direction == DATA_IN) buffer = m_ResponseBuffer.get();
  if (direction == DATA_OUT) buffer = m_RequestBuffer.get();
  return AtaCommand(taskFile, buffer, direction, length);
}

std::uint8_t TAtaDevice::IdentifyDevice() {
  if (!m_ResponseBuffer) return ATACMD_FAIL;
  m_ResponseBuffer[4] = 0;
  const std::uint8_t result = Sequence(Registers(kCmdIdentifyDevice, 0, 1), DATA_IN, kSector);
  if (FileExists(kRtkMarkerFile)) return result;
  const std::uint8_t configuration = m_ResponseBuffer[4];
  if (configuration == 0) return ATACMD_FAIL;
  if (std::find(std::begin(kKnownConfigurations), std::end(kKnownConfigurations), configuration) !=
      std::end(kKnownConfigurations))
    return ATACMD_OK;
  return result;
}

std::uint8_t TAtaDevice::ReadPpidLog() {
  if (!m_ResponseBuffer) return ATACMD_FAIL;
  std::memset(m_ResponseBuffer.get(), 0, kSector);
  return Sequence(Registers(kCmdReadLogExt, 0, 1, kPpidLog), DATA_IN, kSector);
}

std::uint8_t TAtaDevice::ReadVendorVersion() {
  if (!m_RequestBuffer) return ATACMD_FAIL;
  m_TimeoutSeconds = 10.0f;
  std::memset(m_RequestBuffer.get(), 0, kSector);
  m_RequestBuffer[0] = 0x0A;
  m_RequestBuffer[1] = 0x07;
  const std::uint8_t result =
      Sequence(Registers(kCmdVendor, kVendorRequestPhase, 1), DATA_OUT, kSector);
  if (result != ATACMD_OK) return result;
  std::memset(m_ResponseBuffer.get(), 0, kSector);
  return Sequence(Registers(kCmdVendor, kVendorReplyPhase, 1), DATA_IN, kSector);
}

std::uint8_t TAtaDevice::Preformat() {
  if (!m_RequestBuffer) return ATACMD_FAIL;
  m_TimeoutSeconds = 60.0f;
  std::memset(m_RequestBuffer.get(), 0, kSector);
  m_RequestBuffer[0] = 0x07;
  m_RequestBuffer[1] = 0xBE;
  const std::uint8_t result =
      Sequence(Registers(kCmdVendor, kVendorRequestPhase, 1), DATA_OUT, kSector);
  if (result != ATACMD_OK) return result;
  m_TimeoutSeconds = 300.0f;  // the drive formats before it answers
  return Sequence(Registers(kCmdVendor, kVendorReplyPhase, 0), DATA_NONE, 0);
}

std::uint8_t TAtaDevice::PreformatPea() {
  if (!m_RequestBuffer) return ATACMD_FAIL;
  m_TimeoutSeconds = 60.0f;
  std::memset(m_RequestBuffer.get(), 0, kSector);
  m_RequestBuffer[0] = 0x07;
  m_RequestBuffer[1] = 0xBE;
  PutPeaKey(m_RequestBuffer.get());
  return Sequence(Buffer(kCmdWriteBuffer, 0, 0, "PEA"), DATA_OUT, kSector);
}

std::uint8_t TAtaDevice::QueryPeaSupport() {
  if (!m_RequestBuffer) return ATACMD_FAIL;
  m_TimeoutSeconds = 10.0f;
  std::memset(m_RequestBuffer.get(), 0, kSector);
  m_RequestBuffer[0] = 0x51;
  PutPeaKey(m_RequestBuffer.get());
  std::uint8_t result = ATACMD_FAIL;
  for (int attempt = 0; attempt < 3; ++attempt) {
    result = Sequence(Buffer(kCmdWriteBuffer, 0, 0, "PEA"), DATA_OUT, kSector);
    if (result == ATACMD_OK) break;
  }
  if (result != ATACMD_OK) return result;
  std::memset(m_ResponseBuffer.get(), 0, kSector);
  result = Sequence(Buffer(kCmdReadBuffer, kPeaReplyStatus, 0, "PEA"), DATA_IN, kSector);
  if (result != ATACMD_OK) return result;
  if (fw::GetU32le(std::span<const std::uint8_t>(m_ResponseBuffer.get(), 4), 0) != 1)
    return ATACMD_FAIL;
  return Sequence(Buffer(kCmdReadBuffer, 0, 0, "PEA"), DATA_IN, kSector);
}

std::uint8_t TAtaDevice::ReadVendorBuffer(std::uint8_t features, std::uint8_t count) {
  m_TimeoutSeconds = 20.0f;
  return Sequence(Buffer(kCmdReadBuffer, features, count, "RPE"), DATA_IN, kSector);
}

}  // namespace transport
