// The drive record the scan fills for every drive it finds, the table of them, and the
// identity record the drive-information readers fill for the drive being scanned.
//
// Text fields are fixed-width bytes as the drive reports them: no terminator when full, so
// they are only ever read through FieldText. The two path fields are zero-terminated.
//
// The field names (fwExt, PPID, m_NVMeFWUG and the rest) are the ones the whole system uses
// for these records, mixed styles included; they are kept so that every part reads the same.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "framework/fixed_text.h"

namespace discovery {

inline constexpr int kMaxDrives = 16;

struct DevInfo {
  char devicePath[512];  // opens the disk directly; ATA/NVMe scan only
  char checkModel[40];   // compared with the constraint table
  char model[40];        // shown in the drive list and messages
  char firmware[8];
  char serial[20];
  char PPID[32];
  char fwExt[8];  // SATA: vendor version reply (7 revision characters, 1 index); else firmware
  std::int16_t PortNumber;
  std::int16_t TargetId;
  std::int16_t Lun;
  std::int16_t PathId;  // NVMe behind Intel RST: the drive's address on the RAID controller
  bool bExisted;
  bool bEligible;
  std::uint16_t imageIndex;  // 0-based image group the drive may take
  char instanceId[260];      // recognises the same disk after a rescan
  std::int32_t order;        // what SelectPort takes to reach the drive again
  bool bSystemDrive;
  std::int32_t csmi_port;
  std::uint64_t SAS_ADDR;
  std::int32_t scsi_index;
  std::uint16_t parentVid;
  std::uint16_t parentDid;
  std::uint8_t busType;  // STORAGE_BUS_TYPE: 8 RAID, 0Bh SATA, 11h NVMe
  bool bIsNvme;
  bool bIsNVMe_InBoxDriver;
  bool bIsNVMe_IrstDriver;            // behind Intel RST 14.8 or later
  bool bIsNVMe_IrstDriverBelow_14_8;  // behind Intel RST, whatever its version
  bool bIsNvmeRSTeDriver;
  std::uint8_t m_NVMeFWUG;  // Identify Controller byte 319
};
static_assert(std::is_trivially_copyable_v<DevInfo>);

// The RSTe pass lists the drives behind the Intel RSTe/VROC driver by their index in its own
// list, which no other path of the program can address: such a drive is reported, never
// updated, and never bound (its index would name another disk of the disk table).
inline bool FoundByRstePass(const DevInfo& record) {
  return record.bIsNvmeRSTeDriver && !record.bIsNvme;
}

// Fixed-size, embedded in the main form; a scan zeroes all of it before it fills it.
using TDevInfoTable = std::array<DevInfo, kMaxDrives>;

// What the readers found about the drive being scanned.
struct TCurrentIdentity {
  char firmware[8];
  char model[40];
  char serial[20];
  char fwExt[8];  // the 8th byte is the index character shown after "DEF"
  char PPID[32];
  std::uint8_t slotCount;  // NVMe firmware slots; 2 when no reader has read it
  std::uint8_t m_NVMeFWUG;
};

using fw::FieldText;
using fw::SetField;
using fw::SetPath;

void ClearTable(TDevInfoTable& table);
void ClearCurrentIdentity(TCurrentIdentity& identity);
// Copies the identity texts into a record; PPID and FWUG are the scan path's decision.
void CopyIdentity(const TCurrentIdentity& identity, DevInfo& record);

// The number of valid records after the last scan.
extern std::int32_t gCount;

}  // namespace discovery
