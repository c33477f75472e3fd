// The three passes of the drive scan and what they share: the table as they fill it and the
// identify attempts. Private to the scan's files.
#pragma once

#include <cstdint>
#include <cstring>

#include "discovery/dev_info.h"
#include "discovery/drive_scan.h"
#include "platform/hi_timer.h"

namespace discovery::scan {

// Record[count] of the table and the count. The table has room for kMaxDrives records and the
// passes have no bound of their own: once it is full, a drive is examined in a spare record
// and dropped, so the walk runs on unchanged and nothing is written past the table.
class TScanTable {
 public:
  explicit TScanTable(TDevInfoTable& table) : m_Table(table) {}
  DevInfo& Current() { return m_Count < kMaxDrives ? m_Table[std::size_t(m_Count)] : m_Spare; }
  void ClearCurrent() { std::memset(&Current(), 0, sizeof(DevInfo)); }
  void Record() {
    if (m_Count < kMaxDrives) ++m_Count;
  }
  std::int32_t Count() const { return m_Count; }

 private:
  TDevInfoTable& m_Table;
  DevInfo m_Spare = {};
  std::int32_t m_Count = 0;
};

// Calls `attempt` until it succeeds, at most `calls` times; with a timer, a message-handling
// wait of kScanRetryWaitMs comes between two calls.
template <typename Attempt>
bool Attempts(int calls, platform::HiTimer* waits, Attempt attempt) {
  for (int call = 1;; ++call) {
    if (attempt()) return true;
    if (call >= calls) return false;
    if (waits) waits->WaitMilliseconds(kScanRetryWaitMs);
  }
}

// Each answers false when the scan is aborted.
bool AtaNvmePass(TScanContext& context, TScanTable& table);
void CsmiPass(TScanContext& context, TScanTable& table, std::uint64_t rememberedSasAddress);
bool RstePass(TScanContext& context, TScanTable& table);

}  // namespace discovery::scan
