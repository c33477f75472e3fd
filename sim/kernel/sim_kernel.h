// What every part of the simulated PC shares: the virtual clock, the journal of what the
// program did, the thread's last error and the one table of handles. Time is virtual: it moves
// only while the program waits, so every run is deterministic and a long wait costs nothing.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "os/os.h"

namespace sim {

// What a handle stands for. Every kind comes from the one counter, so that no two objects ever
// share a value and CloseHandle can tell which part of the PC holds the object.
enum class HandleKind {
  kMutex,
  kThread,
  kToken,
  kSid,
  kRegistryKey,
  kService,
  kDeviceInfoSet,
  kDisk,
  kScsiPort,
  kFile,
};

class SimKernel {
 public:
  std::uint64_t NowUs() const { return m_NowUs; }
  void Advance(std::uint64_t us) { m_NowUs += us; }
  // Never backwards: a timer already overdue leaves the clock where it is.
  void AdvanceTo(std::uint64_t us) {
    if (us > m_NowUs) m_NowUs = us;
  }

  std::uint32_t LastError() const { return m_LastError; }
  void SetLastError(std::uint32_t error) { m_LastError = error; }

  void Log(std::string entry) { m_Journal.push_back(std::move(entry)); }
  const std::vector<std::string>& Journal() const { return m_Journal; }

  os::Handle NewHandle(HandleKind kind) {
    const os::Handle h = m_NextHandle++;
    m_Handles[h] = kind;
    return h;
  }
  // The kind a handle was made as, whether or not its object is still open.
  std::optional<HandleKind> KindOf(os::Handle handle) const {
    auto it = m_Handles.find(handle);
    return it == m_Handles.end() ? std::nullopt : std::optional<HandleKind>(it->second);
  }

 private:
  std::uint64_t m_NowUs = 0;
  std::uint32_t m_LastError = 0;
  std::vector<std::string> m_Journal;
  os::Handle m_NextHandle = 0x100;
  std::map<os::Handle, HandleKind> m_Handles;
};

}  // namespace sim
