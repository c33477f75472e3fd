#include "sim/windows/sim_processes.h"

#include "framework/bytes.h"
#include "sim/kernel/journal_text.h"
#include "sim/windows/sim_system.h"

namespace sim {

// VS_VERSIONINFO with the root key, its padding and a VS_FIXEDFILEINFO, laid out as the
// resource compiler writes it.
std::vector<std::uint8_t> SimProcesses::BuildVersionResource(
    const std::array<std::uint16_t, 4>& v) {
  const std::u16string key = u"VS_VERSION_INFO";
  const std::size_t value = (6 + (key.size() + 1) * 2 + 3) & ~std::size_t(3);
  std::vector<std::uint8_t> res(value + 52, 0);
  fw::PutU16le(res, 0, std::uint16_t(res.size()));
  fw::PutU16le(res, 2, 52);
  fw::PutU16le(res, 4, 0);
  for (std::size_t i = 0; i < key.size(); ++i) fw::PutU16le(res, 6 + 2 * i, key[i]);
  fw::PutU32le(res, value, 0xFEEF04BD);
  fw::PutU32le(res, value + 4, 0x00010000);
  fw::PutU32le(res, value + 8, std::uint32_t(v[0]) << 16 | v[1]);
  fw::PutU32le(res, value + 12, std::uint32_t(v[2]) << 16 | v[3]);
  fw::PutU32le(res, value + 16, std::uint32_t(v[0]) << 16 | v[1]);  // product version
  fw::PutU32le(res, value + 20, std::uint32_t(v[2]) << 16 | v[3]);
  return res;
}

std::optional<std::vector<std::uint8_t>> SimProcesses::GetFileVersionInfoA(
    const std::string& file) {
  m_Kernel.Log("GetFileVersionInfoA " + Quoted(file));
  if (file != moduleFileName || !fileVersion) {
    m_Kernel.SetLastError(os::kERROR_RESOURCE_TYPE_NOT_FOUND);
    return std::nullopt;
  }
  return BuildVersionResource(*fileVersion);
}

os::Handle SimProcesses::OpenMutexA(std::uint32_t, bool, const std::string& name) {
  m_Kernel.Log("OpenMutexA " + Quoted(name));
  auto it = m_Mutexes.find(name);
  if (it == m_Mutexes.end()) {
    m_Kernel.SetLastError(os::kERROR_FILE_NOT_FOUND);
    return 0;
  }
  ++it->second;
  const os::Handle h = m_Kernel.NewHandle(HandleKind::kMutex);
  m_MutexHandles[h] = name;
  return h;
}

os::Handle SimProcesses::CreateMutexA(bool, const std::string& name) {
  m_Kernel.Log("CreateMutexA " + Quoted(name));
  const bool existed = m_Mutexes.count(name) != 0;
  ++m_Mutexes[name];
  const os::Handle h = m_Kernel.NewHandle(HandleKind::kMutex);
  m_MutexHandles[h] = name;
  m_Kernel.SetLastError(existed ? os::kERROR_ALREADY_EXISTS : os::kERROR_SUCCESS);
  return h;
}

bool SimProcesses::CloseHandle(os::Handle handle) {
  if (auto it = m_MutexHandles.find(handle); it != m_MutexHandles.end()) {
    if (--m_Mutexes[it->second] == 0) m_Mutexes.erase(it->second);
    m_MutexHandles.erase(it);
    return true;
  }
  return m_Threads.erase(handle) != 0;
}

// A thread runs to its end as soon as it is created: the program's main thread only ever
// waits for a worker while pumping messages, so running it first keeps every run repeatable
// and loses nothing the program could observe.
os::Handle SimProcesses::CreateThread(os::ThreadRoutine routine) {
  m_Kernel.Log("CreateThread");
  const os::Handle h = m_Kernel.NewHandle(HandleKind::kThread);
  if (onThreadStart) onThreadStart();
  m_Threads[h] = routine();
  return h;
}

std::uint32_t SimProcesses::WaitForSingleObject(os::Handle handle, std::uint32_t) {
  if (Signalled(handle)) return os::kWAIT_OBJECT_0;
  m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
  return 0xFFFFFFFF;  // WAIT_FAILED
}

bool SimProcesses::GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) {
  auto it = m_Threads.find(thread);
  if (it == m_Threads.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  *exitCode = it->second;
  return true;
}

bool SimProcesses::QueryPerformanceCounter(std::int64_t* count) {
  if (!m_System.performanceCounter) {
    *count = 0;
    m_Kernel.SetLastError(os::kERROR_INVALID_FUNCTION);
    return false;
  }
  *count = std::int64_t(m_Kernel.NowUs()) * (kPerformanceFrequency / 1'000'000);
  return true;
}

bool SimProcesses::QueryPerformanceFrequency(std::int64_t* frequency) {
  if (!m_System.performanceCounter) {
    *frequency = 0;
    m_Kernel.SetLastError(os::kERROR_INVALID_FUNCTION);
    return false;
  }
  *frequency = kPerformanceFrequency;
  return true;
}

std::intptr_t SimProcesses::ShellExecuteA(const std::string& operation, const std::string& file,
                                          const std::string& parameters,
                                          const std::string& directory, int showCmd) {
  m_Kernel.Log("ShellExecuteA " + Quoted(operation) + " " + Quoted(file) + " " +
               Quoted(parameters) + " show " + std::to_string(showCmd));
  m_ShellStarts.push_back({operation, file, parameters, directory, showCmd});
  return 42;
}

}  // namespace sim
