// The NVMe readers: the part identifier through the inbox driver's identify query, IDENTIFY
// CONTROLLER and the slot log through the Intel RST driver, and the slot information through the
// inbox driver's miniport firmware interface. The last two fill the main window's slot boxes.
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "discovery/drive_readers.h"
#include "framework/bytes.h"
#include "framework/conversions.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/ntddstor.h"
#include "transport/ata_device.h"
#include "transport/nvme_requests.h"

namespace discovery {
namespace {

namespace nvme = transport::nvme;

constexpr float kDefaultTimeout = 20.0f;
constexpr std::uint32_t kIrstTimeoutSeconds = 30;
constexpr std::uint32_t kIrstDataLength = 4096;

// IDENTIFY CONTROLLER fields.
constexpr std::size_t kSerialAt = 4, kModelAt = 24, kFirmwareAt = 64, kFwugAt = 319;
constexpr std::size_t kPartIdAt = 3072;

// GET LOG PAGE of the firmware slot log, 128 dwords (NUMD is zero-based), all namespaces.
constexpr std::uint8_t kOpcodeGetLogPage = 0x02;
constexpr std::uint32_t kAllNamespaces = 0xFFFFFFFF;
constexpr std::uint32_t kFirmwareSlotLog = 0x03;
constexpr std::uint32_t kSlotLogDwords = 0x7F;
static_assert((kSlotLogDwords + 1) * 4 == kSlotLogSize);
constexpr int kSlotLogSlots = 7;  // the revision of slot i is at 8 * i

// The slot information block: SRB_IO_CONTROL, the firmware request block and room for the
// STORAGE_FIRMWARE_INFO of any slot count the driver can report.
constexpr std::size_t kSlotInfoBlockSize = kFirmwareInfoBlockSize;
constexpr std::size_t kSlotInfoAt = nvme::miniport_fw::kData;
static_assert(kSlotInfoAt + os::layout::storage_firmware_info::kSlots +
                  255 * os::layout::storage_firmware_info::kSlotSize <=
              kSlotInfoBlockSize);

const char* const kCommitActions[] = {"0", "1", "2", "3"};
constexpr int kDefaultCommitAction = 3;

std::string SlotEntry(int slot, const std::uint8_t* revision) {
  const std::string text = fw::ReadTrimmedText(revision, 8);
  return std::to_string(slot) + ". " + (text.empty() ? "NA" : text);
}

// The boxes as both slot readers leave them: the slot box with `slots` (and its first item
// chosen), the commit actions with 3 chosen.
void FillBoxes(TSlotBoxes boxes, std::vector<std::string> slots) {
  boxes.cboFwSlot.Items = std::move(slots);
  boxes.cboFwSlot.ItemIndex = 0;
  boxes.cboCommitAction.Items.assign(std::begin(kCommitActions), std::end(kCommitActions));
  boxes.cboCommitAction.ItemIndex = kDefaultCommitAction;
}

transport::NvmeCommand SlotLogCommand() {
  transport::NvmeCommand command{};
  command[0] = kOpcodeGetLogPage;
  fw::PutU32le(command, 4, kAllNamespaces);
  fw::PutU32le(command, nvme::kCdw10, kFirmwareSlotLog | kSlotLogDwords << 16);
  return command;
}

// One command to the drive at `pathId` of the bound RST controller, its data in ResponseBuffer.
bool SendIrst(transport::TAtaDevice& device, std::uint8_t pathId,
              const transport::NvmeCommand& command) {
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  try {
    return device.Send_IRST_NVME_PASS_THROUTH(pathId, command, nullptr, kIrstDataLength, false,
                                              result.data(), kIrstTimeoutSeconds,
                                              transport::kNvmeFromDevice);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void TakeNvmeIdentity(std::span<const std::uint8_t> identify, TCurrentIdentity& identity) {
  std::memcpy(identity.serial, &identify[kSerialAt], sizeof identity.serial);
  std::memcpy(identity.model, &identify[kModelAt], sizeof identity.model);
  std::memcpy(identity.firmware, &identify[kFirmwareAt], sizeof identity.firmware);
  std::memcpy(identity.fwExt, identity.firmware, sizeof identity.fwExt);
  identity.slotCount = (identify[nvme::kIdentifyFrmw] >> 1) & 7;
  std::memcpy(identity.PPID, &identify[kPartIdAt], sizeof identity.PPID);
}

bool ReadNvmePpid(transport::TAtaDevice& device, int driveIndex, TCurrentIdentity& identity) {
  device.SetTimeout(kDefaultTimeout);
  const bool ok = device.DoIdentifyDeviceNVMeStorageQuery(driveIndex);
  std::memset(identity.PPID, 0, sizeof identity.PPID);
  if (!ok) return false;
  const std::uint8_t* data = device.GetResponseBuffer();
  std::memcpy(identity.PPID, data + kPartIdAt, sizeof identity.PPID);
  identity.m_NVMeFWUG = data[kFwugAt];
  return true;
}

int Identify_irst(transport::TAtaDevice& device, std::uint8_t pathId, TCurrentIdentity& identity,
                  TSlotBoxes boxes) {
  if (!SendIrst(device, pathId, transport::NvmeIdentifyControllerCommand())) return 0;
  ClearCurrentIdentity(identity);
  const std::span<const std::uint8_t> data(device.GetResponseBuffer(), nvme::kIdentifySize);
  TakeNvmeIdentity(data, identity);
  identity.m_NVMeFWUG = data[kFwugAt];
  // The slot boxes are a by-product: the drive is identified whatever the log answers.
  getlog_irst(device, pathId, identity, boxes);
  return 1;
}

int getlog_irst(transport::TAtaDevice& device, std::uint8_t pathId,
                const TCurrentIdentity& identity, TSlotBoxes boxes) {
  if (!SendIrst(device, pathId, SlotLogCommand())) return 0;
  TakeSlotLog(std::span<const std::uint8_t, kSlotLogSize>(device.GetResponseBuffer(), kSlotLogSize),
              identity.slotCount, boxes);
  return 1;
}

void TakeSlotLog(std::span<const std::uint8_t, kSlotLogSize> log, std::uint8_t slotCount,
                 TSlotBoxes boxes) {
  std::vector<std::string> slots = {"Default"};
  for (int slot = 1; slot <= kSlotLogSlots; ++slot) {
    const std::uint8_t* revision = &log[8 * std::size_t(slot)];
    if (slot <= slotCount) slots.push_back(SlotEntry(slot, revision));
  }
  FillBoxes(boxes, std::move(slots));
}

bool ReadFwSlotInfo(transport::TAtaDevice& device, TCurrentIdentity& identity, TSlotBoxes boxes) {
  std::memset(identity.firmware, 0, sizeof identity.firmware);
  const std::unique_ptr<std::uint8_t[]> block(new (std::nothrow)
                                                  std::uint8_t[kSlotInfoBlockSize]());
  if (!block) return false;
  if (!device.DeviceGetFirmwareInfo(block.get(), kSlotInfoBlockSize, true)) return false;
  return TakeFirmwareInfo(
      std::span<const std::uint8_t, kSlotInfoBlockSize>(block.get(), kSlotInfoBlockSize), identity,
      boxes);
}

bool TakeFirmwareInfo(std::span<const std::uint8_t, kFirmwareInfoBlockSize> block,
                      TCurrentIdentity& identity, TSlotBoxes boxes) {
  namespace info = os::layout::storage_firmware_info;
  const std::span<const std::uint8_t> b = block;
  if (fw::GetU32le(b, os::layout::srb_io_control::kReturnCode) != 0) return false;

  // Every entry a slot count of one byte can name lies inside the block.
  const std::span<const std::uint8_t> fwInfo = b.subspan(kSlotInfoAt);
  const int count = fwInfo[info::kSlotCount];
  const int active = fwInfo[info::kActiveSlot];
  const auto entry = [&](int e) {
    return &fwInfo[info::kSlots + std::size_t(e) * info::kSlotSize];
  };
  const int current = active >= 1 && active <= count ? active - 1 : 0;
  std::memcpy(identity.firmware, entry(current) + info::kSlotRevision, sizeof identity.firmware);

  // A driver that reports no slots leaves the drive's one slot to be named by number.
  std::vector<std::string> slots = {count == 0 ? "1" : "Default"};
  for (int e = 0; e < count; ++e)
    slots.push_back(SlotEntry(entry(e)[info::kSlotNumber], entry(e) + info::kSlotRevision));
  FillBoxes(boxes, std::move(slots));
  return true;
}

}  // namespace discovery
