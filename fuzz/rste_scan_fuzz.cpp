// The Intel RSTe/VROC driver's answers to the RSTe pass of the drive scan: its counts, the RAID
// information, the RAID configuration and the pass-through disk list, and Identify Controller
// of each disk, on all 16 SCSI ports. Whatever counts and entries the driver claims, the scan
// asks for no more than it believes, reads only the blocks it sent and records no more than
// the table holds.
//
// The driver answers from the input (fuzz/answering_pc.h).
#include <cstdint>

#include "discovery/drive_scan_passes.h"
#include "fuzz/answering_pc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::AnsweringMachine machine;
  machine.pc.Answer(data, size);

  fuzz::ScanState scan;
  discovery::TScanContext context = scan.Context(machine);
  discovery::scan::TScanTable records(scan.table);
  discovery::scan::RstePass(context, records);
  if (records.Count() < 0 || records.Count() > discovery::kMaxDrives) __builtin_trap();
  for (std::int32_t i = 0; i < records.Count(); ++i) {
    const discovery::DevInfo& r = scan.table[std::size_t(i)];
    if (!r.bExisted || !discovery::FoundByRstePass(r)) __builtin_trap();
    fw::FieldText(r.model);
  }
  return 0;
}
