// TAtaDevice: the one object through which the program talks to a drive. It keeps the disk
// table it was handed, the open handle of the selected drive, the transport kind chosen for
// it, three preallocated transfer buffers and the command time-out, and carries ATA commands
// through the Windows ATA and SCSI pass-through requests and CSMI.
//
// The table is the object's own for its whole life and the selection is an index into it: the
// device manager that built it may enumerate again (the rescans after a download do) without
// leaving this object reading records it freed.
//
// The object has no lock: one thread uses it at a time (the main thread, or the flash worker
// while the main thread waits for it).
//
// Several members keep the names the rest of the system calls them by, spelling and letter case
// included (get_phy_info, Send_IRST_NVME_PASS_THROUTH, nvmePassThroughIoctl and the RSTe
// requests): callers and the people who read the traces know them by these names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "os/os.h"
#include "platform/hi_timer.h"
#include "platform/osinfo.h"
#include "transport/ata_types.h"
#include "transport/csmi_phy_info.h"
#include "transport/nvme_command.h"
#include "transport/pass_through_layout.h"
#include "transport/scsi_sense.h"

namespace devices {
struct DiskEntry;
}  // namespace devices

namespace transport {

inline constexpr std::size_t kResponseBufferSize = 1'048'576;
inline constexpr std::size_t kRequestBufferSize = 1'048'576;
inline constexpr std::size_t kCsmiBufferSize = 1'048'576 + 168;

// The marker whose presence lets IDENTIFY DEVICE through without the specific-configuration
// check.
inline constexpr const char* kRtkMarkerFile = "c:\\rtk_k5.txt";

// What Send_IRST_NVME_PASS_THROUTH gives back of its request: header, command, completion.
inline constexpr std::size_t kIrstResultSize = 168;

class TAtaDevice {
 public:
  // Start-up builds it with the table its device manager has just enumerated:
  //   devices::TDevMgr devMgr;
  //   transport::TAtaDevice device(devMgr.BuildDiskTable());
  // Without its buffers the object drops the table, so that it never reaches a drive.
  explicit TAtaDevice(std::vector<devices::DiskEntry> disks);
  ~TAtaDevice();
  TAtaDevice(const TAtaDevice&) = delete;
  TAtaDevice& operator=(const TAtaDevice&) = delete;

  // ---- Binding ----
  // Binds drive `index` of the disk table (kind 0 without a path, or 16), opens the handle and
  // fixes the transport kind: 14 and 16 as asked, 0 by probing kinds 1, 3 and 5. A path opens
  // that path instead of the table's; kind 16 without a path opens "\\.\Scsi<scsiPort>:" and
  // kind 14 opens the controller "\\.\SCSI<index>:". True when a usable handle is open.
  bool SelectPort(int index, const char* path, int scsiPort, int kind);
  void ClosePort();
  int DriveCount() const;
  // A negative index is the selected drive; null when out of range. The record lives as long
  // as this object.
  const devices::DiskEntry* DriveAt(int index) const;
  int SelectedIndex() const { return m_SelectedIndex; }
  const devices::DiskEntry* SelectedRecord() const { return DriveAt(-1); }
  std::uint16_t ParentVid() const { return m_ParentVid; }
  std::uint16_t ParentDid() const { return m_ParentDid; }
  bool HandleValid() const;

  // ---- Accessors ----
  std::uint8_t* GetResponseBuffer() { return m_ResponseBuffer.get(); }
  std::uint8_t* GetRequestBuffer() { return m_RequestBuffer.get(); }
  void SetTimeout(float seconds) { m_TimeoutSeconds = seconds; }
  float TimeoutSeconds() const { return m_TimeoutSeconds; }
  int GetTransportKind() const { return m_TransportKind; }
  void SetTransportKind(int kind) { m_TransportKind = kind; }
  void SetCsmiPhy(std::uint8_t phy) { m_CsmiPhy = phy; }
  void SetCsmiPort(std::uint8_t port) { m_CsmiPort = port; }
  // The destination SAS address as two 32-bit words, low word first: the 8 bytes as the phy
  // information gave them.
  void SetCsmiSasAddress(std::uint32_t low, std::uint32_t high);
  std::uint8_t CsmiPhy() const { return std::uint8_t(m_CsmiPhy); }
  std::uint8_t CsmiPort() const { return std::uint8_t(m_CsmiPort); }
  const std::array<std::uint8_t, 8>& CsmiSasAddress() const { return m_CsmiSasAddress; }
  // The package's iVisualStyle; 20 skips the vendor-version probe.
  void SetVisualStyle(int style) { m_iVisualStyle = style; }
  int VisualStyle() const { return m_iVisualStyle; }
  platform::OSInfo& OsInfo() { return m_OSInfo; }

  // What the last command left.
  std::uint32_t LastOsError() const { return m_LastOsError; }
  std::uint8_t LastAtaStatus() const { return m_LastAtaStatus; }
  const TaskFile& LastTaskFile() const { return m_LastTaskFile; }
  std::uint8_t LastScsiStatus() const { return m_ScsiStatus; }
  const ScsiSense& LastSense() const { return m_Sense; }

  // ---- Commands; each answers an ATACMD_ result ----
  // taskFile is updated in place by the SAT transport; length is the byte count in and the
  // driver's reported count out.
  std::uint8_t AtaCommand(TaskFile& taskFile, std::uint8_t* buffer, int direction,
                          std::uint32_t& length);
  std::uint8_t IdentifyDevice();
  std::uint8_t ReadPpidLog();
  std::uint8_t ReadVendorVersion();
  std::uint8_t Preformat();
  std::uint8_t PreformatPea();
  std::uint8_t QueryPeaSupport();
  std::uint8_t ReadVendorBuffer(std::uint8_t features, std::uint8_t count);

  // ---- ATA firmware download ----
  // One attempt of DOWNLOAD MICROCODE: the image is staged in ResponseBuffer (so it must lie
  // elsewhere) and sent in segments of maxSectors blocks (1..255) through RequestBuffer, every
  // command with 60 s. flashMode 0 closes the normal flow with 07h, 2 takes the enterprise flow
  // (as does a drive that asks for it), any other value sends the segments only. bootcode and
  // reboot choose the closing and boot-code commands. Answers the first failing command's
  // result; 254 before anything is sent for an image that is missing, empty, larger than
  // ResponseBuffer or inside it, and for a segment size outside 1..255.
  std::uint8_t DownloadMicrocode(const std::uint8_t* image, std::uint32_t length,
                                 std::uint32_t maxSectors, std::int32_t flashMode,
                                 std::uint8_t bootcode, std::uint8_t reboot);
  // The drive asks for the enterprise flow: it identifies, and the low byte of IDENTIFY word
  // 159 lies in 1..7.
  bool IsEnterpriseFlashTarget();

  // ---- CSMI ----
  // One CSMI request in a caller-zeroed buffer of `size` bytes: the header is filled here.
  std::uint8_t CsmiIoctl(std::uint32_t controlCode, std::uint8_t* buffer, std::uint32_t size);
  bool get_phy_info(CsmiPhyInfo& out);

  // ---- NVMe; each answers true when the Windows request completed ----
  // One admin (or I/O) command through the Intel RST driver on the open controller handle, to
  // the drive at `pathId`. Direction 1 sends dataLength bytes of dataOut (or RequestBuffer when
  // null); direction 2 reads them into ResponseBuffer. The first 168 bytes of the request come
  // back in resultArea on every path, so the caller can read the completion entry.
  bool Send_IRST_NVME_PASS_THROUTH(std::uint8_t pathId, const NvmeCommand& command,
                                   const std::uint8_t* dataOut, std::uint32_t dataLength,
                                   bool isIoCommandSet, std::uint8_t* resultArea,
                                   std::uint32_t timeoutSeconds, int direction);
  // One command through the Intel RSTe NVMe RAID driver on `controller` (not the object's
  // handle), to the disk the driver calls rsteDiskId. The data length is raised to a multiple
  // of 4.
  bool nvmePassThroughIoctl(os::Handle controller, std::uint32_t rsteDiskId,
                            const std::uint8_t* dataOut, std::uint32_t dataLength,
                            std::uint32_t queueId, int direction, const NvmeCommand& command);
  // IDENTIFY CONTROLLER of table drive `driveIndex` through the inbox driver's storage query,
  // into the first 4,096 bytes of ResponseBuffer. Leaves the object's handle closed.
  bool DoIdentifyDeviceNVMeStorageQuery(int driveIndex);

  // ---- NVMe firmware ----
  // The miniport firmware interface's slot information into the caller-zeroed block.
  bool DeviceGetFirmwareInfo(std::uint8_t* block, std::uint32_t blockSize, bool verbose);
  // Download and activation through the inbox driver. The image buffer must be zero-filled up
  // to the next whole chunk: every chunk is read whole.
  bool NvmeFirmwareUpgrade(const std::uint8_t* image, std::uint32_t size, bool use16KiB,
                           std::uint32_t commitAction, std::uint32_t requestedSlot);
  // The same through the Intel RST driver, to the drive at path, target and LUN.
  bool IrstNvmeFirmwareUpgrade(std::uint8_t pathId, std::uint8_t targetId, std::uint8_t lun,
                               const std::uint8_t* image, std::uint32_t size, bool use16KiB,
                               std::uint32_t requestedSlot);

 private:
  // The pass-through requests, one per kind and size.
  std::uint8_t AtaPassThrough(TaskFile& taskFile, std::uint8_t* buffer, int direction,
                              std::uint32_t& length);
  std::uint8_t ScsiVendorCdb(const TaskFile& taskFile, std::uint8_t* buffer, int direction,
                             std::uint32_t& length);
  std::uint8_t SatPassThrough(TaskFile& taskFile, std::uint8_t* buffer, int direction,
                              std::uint32_t& length);
  std::uint8_t CsmiStpPassThrough(const TaskFile& taskFile, std::uint8_t* buffer, int direction,
                                  std::uint32_t& length);
  // Fills the common part of a SCSI request and sends it; false when the call failed.
  bool SendScsi(std::span<std::uint8_t> request, std::size_t size, bool direct,
                std::span<const std::uint8_t> cdb, std::uint8_t senseLength, std::uint8_t target,
                std::uint8_t dataIn, std::uint32_t transferLength, std::uint8_t* buffer);
  void TakeSense(std::span<const std::uint8_t> request);

  // One DeviceIoControl with the request as input and output, timed by the command timer.
  bool Send(std::uint32_t ioControlCode, std::uint8_t* request, std::size_t size);
  // A command found the handle closed: bind the selected drive again. False when the handle is
  // still not usable.
  bool Rebind();
  void ProbeTransport();
  std::uint8_t Sequence(TaskFile taskFile, int direction, std::uint32_t length);
  // The download's commands; the image is staged in ResponseBuffer.
  std::uint8_t SendDownloadSegments(std::uint8_t subcommand, std::uint32_t length,
                                    std::uint32_t maxSectors);
  std::uint8_t SendDownloadSegment(std::uint8_t subcommand, std::uint32_t offset,
                                   std::uint32_t count);
  std::uint8_t SendDownloadControl(std::uint8_t subcommand, std::uint16_t offset);
  void OpenHandle(const std::string& path, std::uint32_t shareMode, std::uint32_t attributes);

  platform::HiTimer m_CmdTimer;
  std::unique_ptr<std::uint8_t[]> m_ResponseBuffer;
  std::unique_ptr<std::uint8_t[]> m_RequestBuffer;
  std::unique_ptr<std::uint8_t[]> m_CsmiBuffer;
  std::uint32_t m_CsmiPhy = 0;
  std::uint32_t m_CsmiPort = 0;
  std::array<std::uint8_t, 8> m_CsmiSasAddress = {};
  float m_TimeoutSeconds = 20.0f;
  int m_TransportKind = kKindAtaPassThrough;
  os::Handle m_Handle = os::kINVALID_HANDLE_VALUE;
  std::array<std::uint8_t, layout::ata_request::kSize> m_AtaRequest = {};
  std::array<std::uint8_t, layout::ata_request::kDirectSize> m_AtaDirect = {};
  std::array<std::uint8_t, layout::scsi_request::kSize> m_ScsiRequest = {};
  std::array<std::uint8_t, layout::scsi_request::kDirectSize> m_ScsiDirect = {};
  ScsiSense m_Sense;
  std::uint8_t m_ScsiStatus = 0;
  std::vector<devices::DiskEntry> m_Disks;
  int m_SelectedIndex = -1;
  std::uint16_t m_ParentVid = 0;
  std::uint16_t m_ParentDid = 0;
  std::uint32_t m_LastOsError = 0;
  std::uint8_t m_LastAtaStatus = 0;
  TaskFile m_LastTaskFile = {};
  int m_iVisualStyle = 0;
  platform::OSInfo m_OSInfo;
  // The CSMI controller last opened, so that a re-bind reopens the controller rather than a disk.
  int m_CsmiController = -1;
  bool m_bRebinding = false;
};

}  // namespace transport
