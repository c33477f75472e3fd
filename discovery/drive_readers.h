// The drive-information readers: each sends one command (or a short sequence) to the drive the
// device object is bound to and turns the answer into fields of the identity record, which the
// scan then copies into the drive's record. The last one tells whether a disk holds the Windows
// system volume.
//
// The readers keep the names the rest of the system calls them by (Identify_irst and
// getlog_irst among them), as the traces do.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "discovery/dev_info.h"
#include "framework/forms.h"

namespace devices {
class TDevMgr;
}  // namespace devices

namespace transport {
class TAtaDevice;
}  // namespace transport

namespace discovery {

// The main window's firmware-slot and commit-action boxes, which the NVMe slot readers fill
// and the update procedure chooses from. The window owns them.
struct TSlotBoxes {
  fw::TComboBox& cboFwSlot;
  fw::TComboBox& cboCommitAction;
};

// IDENTIFY DEVICE (3 s, then the time-out goes back to 20 s) and, unless the package style is
// 20, the vendor version request for the extended revision, which falls back to the firmware
// revision when the request fails or answers blanks. 0, or the ATA result of IDENTIFY DEVICE.
std::uint8_t ReadDriveIdentity(transport::TAtaDevice& device, TCurrentIdentity& identity);

// The part identifier from log 9Ah (10 s, then back to 20 s): its first 24 bytes are stored as
// ATA words and swapped back, the last 8 are taken as stored. 0, or the ATA result.
std::uint8_t ReadAtaPpid(transport::TAtaDevice& device, TCurrentIdentity& identity);

// The part identifier and FWUG through the inbox driver's identify query for table drive
// `driveIndex`, which leaves the device object's handle closed. True on success.
bool ReadNvmePpid(transport::TAtaDevice& device, int driveIndex, TCurrentIdentity& identity);

// IDENTIFY CONTROLLER through the Intel RST driver to the drive at `pathId` of the bound
// controller, then its slot log (getlog_irst). 1 on success; on failure the identity keeps
// what it held.
int Identify_irst(transport::TAtaDevice& device, std::uint8_t pathId, TCurrentIdentity& identity,
                  TSlotBoxes boxes);

// The firmware slot log through the Intel RST driver; on success the boxes list the first
// `identity.slotCount` slots. 1 on success.
int getlog_irst(transport::TAtaDevice& device, std::uint8_t pathId,
                const TCurrentIdentity& identity, TSlotBoxes boxes);

// The slot information through the inbox driver's miniport firmware interface: the active
// slot's revision becomes the identity's firmware, and the boxes list every slot. The boxes
// stay as they were when the information cannot be read.
bool ReadFwSlotInfo(transport::TAtaDevice& device, TCurrentIdentity& identity, TSlotBoxes boxes);

// Whether the disk at `devicePath` holds the volume of the Windows system directory: the two
// device numbers are equal. A query that fails counts as -1, so two failing queries count as
// the system drive.
bool IsSystemDrive(devices::TDevMgr& devMgr, const std::string& devicePath);

// What the readers make of the bytes a drive or driver answered, each reading exactly the
// bytes its command returns.
//
// IDENTIFY DEVICE: model, firmware and serial, their words swapped back into reading order.
void TakeAtaIdentity(std::span<const std::uint8_t, 512> identify, TCurrentIdentity& identity);
// The vendor version reply: its first 8 bytes become fwExt unless they are all blanks.
void TakeVendorRevision(std::span<const std::uint8_t, 8> reply, TCurrentIdentity& identity);
// Log 9Ah: the part identifier.
void TakePpidLog(std::span<const std::uint8_t, 512> log, TCurrentIdentity& identity);

// The firmware slot log: the boxes list the first `slotCount` of its 7 slots.
inline constexpr std::size_t kSlotLogSize = 512;
void TakeSlotLog(std::span<const std::uint8_t, kSlotLogSize> log, std::uint8_t slotCount,
                 TSlotBoxes boxes);

// The slot information block of the miniport firmware interface (SRB_IO_CONTROL, the request
// and STORAGE_FIRMWARE_INFO): false when the driver's ReturnCode is not 0; else the active
// slot's revision becomes the identity's firmware and the boxes list every slot.
inline constexpr std::size_t kFirmwareInfoBlockSize = 4172;
bool TakeFirmwareInfo(std::span<const std::uint8_t, kFirmwareInfoBlockSize> block,
                      TCurrentIdentity& identity, TSlotBoxes boxes);

// The identity fields of IDENTIFY CONTROLLER data: serial, model, firmware (also as fwExt), the
// slot count of FRMW and the part identifier. FWUG is the caller's to take.
void TakeNvmeIdentity(std::span<const std::uint8_t> identify, TCurrentIdentity& identity);

}  // namespace discovery
