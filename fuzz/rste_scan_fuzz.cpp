// The Intel RSTe/VROC driver's answers to the RSTe pass of the drive scan: its counts, the RAID
// information, the RAID configuration and the pass-through disk list, and Identify Controller
// of each disk, on all 16 SCSI ports. Whatever counts and entries the driver claims, the scan
// asks for no more than it believes, reads only the blocks it sent and records no more than
// the table holds.
//
// The simulated PC opens every "\\.\ScsiN:" and its driver answers each miniport request from
// the input, in the order the scan sends them: a byte that tells whether the request fails
// (bit 0) and, when it does not, a 16-bit little-endian count of bytes, which are laid over
// the block after its SRB_IO_CONTROL header; bytes the input lacks leave what the program
// sent. Once the input is used up every request fails.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "devices/dev_mgr.h"
#include "discovery/drive_scan_passes.h"
#include "os/layouts/ntddscsi.h"
#include "sim/sim_pc.h"
#include "transport/ata_device.h"

namespace {

class AnsweringPc : public sim::SimPc {
 public:
  void Answer(const std::uint8_t* data, std::size_t size) {
    m_Data = data;
    m_Size = size;
  }

  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes) override {
    const auto port = sim::ScsiPortNumber(fileName);
    if (port) return kPortHandle + os::Handle(*port);
    return SimPc::CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                              flagsAndAttributes);
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
    // The miniport request's block is both buffers.
    if (ioControlCode != os::kIOCTL_SCSI_MINIPORT || inBuffer != outBuffer || m_Size == 0 ||
        (Next() & 1)) {
      SetLastError(kErrorIoDevice);
      return false;
    }
    std::size_t count = Next();
    count |= std::size_t(Next()) << 8;
    const std::size_t header = os::layout::srb_io_control::kSize;
    const std::size_t room = outBufferSize > header ? outBufferSize - header : 0;
    if (count > room) count = room;
    if (count > m_Size) count = m_Size;
    std::memcpy(static_cast<std::uint8_t*>(outBuffer) + header, m_Data, count);
    m_Data += count;
    m_Size -= count;
    if (bytesReturned) *bytesReturned = outBufferSize;
    return true;
  }

 private:
  static constexpr os::Handle kPortHandle = 0x5C500000;
  static constexpr std::uint32_t kErrorIoDevice = 1117;
  static bool IsPort(os::Handle h) { return h >= kPortHandle && h < kPortHandle + 256; }
  std::uint8_t Next() {
    if (m_Size == 0) return 0;
    --m_Size;
    return *m_Data++;
  }

  const std::uint8_t* m_Data = nullptr;
  std::size_t m_Size = 0;
};

struct Machine {
  Machine() {
    os::Install(&pc);
    devMgr = std::make_unique<devices::TDevMgr>();
    device = std::make_unique<transport::TAtaDevice>(devMgr->BuildDiskTable());
  }
  AnsweringPc pc;
  std::unique_ptr<devices::TDevMgr> devMgr;
  std::unique_ptr<transport::TAtaDevice> device;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Machine machine;
  machine.pc.Answer(data, size);

  discovery::TDevInfoTable table{};
  discovery::TCurrentIdentity identity{};
  discovery::TCsmiTarget target{};
  fw::TComboBox slots, actions;
  discovery::TScanContext context{.device = *machine.device,
                                  .devMgr = *machine.devMgr,
                                  .devInfo = table,
                                  .currentIdentity = identity,
                                  .csmiTarget = target,
                                  .slotBoxes = {slots, actions}};
  discovery::scan::TScanTable records(table);
  discovery::scan::RstePass(context, records);
  if (records.Count() < 0 || records.Count() > discovery::kMaxDrives) __builtin_trap();
  for (std::int32_t i = 0; i < records.Count(); ++i) {
    const discovery::DevInfo& r = table[std::size_t(i)];
    if (!r.bExisted || !discovery::FoundByRstePass(r)) __builtin_trap();
    fw::FieldText(r.model);
  }
  return 0;
}
