#include "sim/sim_pc.h"

namespace sim {

bool SimPc::IsDevicePath(const std::string& path) {
  return path.size() >= 4 && (path[0] == '\\' || path[0] == '/') &&
         (path[1] == '\\' || path[1] == '/') && (path[2] == '.' || path[2] == '?') &&
         (path[3] == '\\' || path[3] == '/');
}

// Each part closes the objects it made; a handle the table does not know, or whose object is
// already closed, is invalid.
bool SimPc::CloseHandle(os::Handle handle) {
  bool closed = false;
  if (const std::optional<HandleKind> kind = m_Kernel.KindOf(handle)) {
    switch (*kind) {
      case HandleKind::kMutex:
      case HandleKind::kThread:
        closed = processes.CloseHandle(handle);
        break;
      case HandleKind::kToken:
        closed = system.CloseToken(handle);
        break;
      case HandleKind::kDisk:
      case HandleKind::kScsiPort:
        closed = storage.CloseHandle(handle);
        break;
      case HandleKind::kFile:
        closed = files.CloseHandle(handle);
        break;
      case HandleKind::kSid:
      case HandleKind::kRegistryKey:
      case HandleKind::kService:
      case HandleKind::kDeviceInfoSet:
        break;  // closed by their own calls, never by CloseHandle
    }
  }
  if (!closed) m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
  return closed;
}

}  // namespace sim
