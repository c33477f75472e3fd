// A simulated PC whose SCSI ports answer from the fuzzer's input: every "\\.\ScsiN:" opens,
// and its miniport answers each IOCTL_SCSI_MINIPORT request in the order the program sends
// them with the next part of the input: a byte that tells whether the request fails (bit 0)
// and, when it does not, a 16-bit little-endian count of bytes, which are laid over the block
// after its SRB_IO_CONTROL header. Bytes the input lacks leave what the program sent; once the
// input is used up, every request fails. Everything else is the simulated PC's, on an empty
// machine without files.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "devices/dev_mgr.h"
#include "discovery/drive_scan.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/winerror.h"
#include "sim/sim_pc.h"
#include "transport/ata_device.h"

namespace fuzz {

class AnsweringPc : public sim::SimPc {
 public:
  void Answer(const std::uint8_t* data, std::size_t size) {
    m_Data = data;
    m_Size = size;
  }

  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes) override {
    if (const auto port = sim::ScsiPortNumber(fileName); port && *port >= 0 && *port < 256)
      return kPortHandle + os::Handle(*port);
    return SimPc::CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                              flagsAndAttributes);
  }
  // No file of the machine counts: the simulated file system would journal every question, and
  // the journal would grow from one input to the next.
  std::uint32_t GetFileAttributesA(const std::string&) override {
    return os::kINVALID_FILE_ATTRIBUTES;
  }
  bool CloseHandle(os::Handle handle) override {
    if (IsPort(handle)) return true;
    return SimPc::CloseHandle(handle);
  }
  bool DeviceIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned) override {
    if (!IsPort(device))
      return SimPc::DeviceIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer,
                                    outBufferSize, bytesReturned);
    // A miniport request's block is both buffers.
    if (ioControlCode != os::kIOCTL_SCSI_MINIPORT || inBuffer != outBuffer || m_Size == 0 ||
        (Next() & 1)) {
      SetLastError(os::kERROR_IO_DEVICE);
      return false;
    }
    std::size_t count = Next();
    count |= std::size_t(Next()) << 8;
    const std::size_t header = os::layout::srb_io_control::kSize;
    const std::size_t room = outBufferSize > header ? outBufferSize - header : 0;
    if (count > room) count = room;
    if (count > m_Size) count = m_Size;
    if (count) std::memcpy(static_cast<std::uint8_t*>(outBuffer) + header, m_Data, count);
    m_Data += count;
    m_Size -= count;
    if (bytesReturned) *bytesReturned = outBufferSize;
    return true;
  }

 private:
  static constexpr os::Handle kPortHandle = 0x5C500000;
  static bool IsPort(os::Handle h) { return h >= kPortHandle && h < kPortHandle + 256; }
  std::uint8_t Next() {
    if (m_Size == 0) return 0;
    --m_Size;
    return *m_Data++;
  }

  const std::uint8_t* m_Data = nullptr;
  std::size_t m_Size = 0;
};

// The PC, installed, with the device manager and the device object start-up builds on it.
struct AnsweringMachine {
  AnsweringMachine() {
    os::Install(&pc);
    devMgr = std::make_unique<devices::TDevMgr>();
    device = std::make_unique<transport::TAtaDevice>(devMgr->BuildDiskTable());
  }
  AnsweringPc pc;
  std::unique_ptr<devices::TDevMgr> devMgr;
  std::unique_ptr<transport::TAtaDevice> device;
};

// What one pass of the drive scan reads and fills, fresh for each input: the drive table, the
// identity, the CSMI target and the slot boxes.
struct ScanState {
  discovery::TDevInfoTable table{};
  discovery::TCurrentIdentity identity{};
  discovery::TCsmiTarget target{};
  fw::TComboBox slots, actions;
  discovery::TScanContext Context(AnsweringMachine& machine, bool updaterMode = false) {
    return {.device = *machine.device,
            .devMgr = *machine.devMgr,
            .devInfo = table,
            .currentIdentity = identity,
            .csmiTarget = target,
            .bUpdaterMode = updaterMode,
            .slotBoxes = {slots, actions}};
  }
};

}  // namespace fuzz
