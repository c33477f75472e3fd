// A CSMI driver's answers to the CSMI pass of the drive scan: the driver information and the
// phy information of controllers 0 to 15, and the STP pass-through that carries IDENTIFY DEVICE
// and the vendor version request to each SATA phy, or, in updater mode, to the one target the
// command line named. Whatever phys, statuses and data counts the driver claims, the scan reads
// only the blocks it sent and records no more than the table holds.
//
// The first input byte chooses the mode (bit 0: updater mode, its target in the next 19
// bytes: controller, phy, port, the address and the address remembered from the scan before);
// the driver answers from the rest (fuzz/answering_pc.h).
#include <cstdint>
#include <cstring>

#include "discovery/drive_scan_passes.h"
#include "framework/bytes.h"
#include "fuzz/answering_pc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::AnsweringMachine machine;
  if (size < 1) return 0;
  const bool updaterMode = data[0] & 1;
  ++data;
  --size;
  fuzz::ScanState scan;
  discovery::TCsmiTarget& target = scan.target;
  std::uint64_t remembered = 0;
  if (updaterMode) {
    constexpr std::size_t kTarget = 19;
    if (size < kTarget) return 0;
    const std::span<const std::uint8_t> t(data, kTarget);
    target.SCSI_PORT = t[0] % discovery::kScsiPorts;
    target.INDEX = t[1];
    target.PORT = t[2];
    target.SAS_ADDR = fw::GetU64le(t, 3);
    remembered = fw::GetU64le(t, 11);
    data += kTarget;
    size -= kTarget;
  }
  machine.pc.Answer(data, size);

  discovery::TScanContext context = scan.Context(machine, updaterMode);
  discovery::scan::TScanTable records(scan.table);
  discovery::scan::CsmiPass(context, records, remembered);
  machine.device->ClosePort();
  if (records.Count() < 0 || records.Count() > discovery::kMaxDrives) __builtin_trap();
  for (std::int32_t i = 0; i < records.Count(); ++i) {
    const discovery::DevInfo& r = scan.table[std::size_t(i)];
    if (!r.bExisted) __builtin_trap();
    fw::FieldText(r.model);
    fw::FieldText(r.fwExt);
  }
  return 0;
}
