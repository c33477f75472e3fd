#include <cctype>
#include <cstdlib>
#include <optional>

#include "os/layouts/ntddscsi.h"
#include "sim/drivers/sim_storage.h"
#include "sim/drivers/sim_storage_queries.h"
#include "sim/kernel/journal_text.h"

namespace sim {

std::optional<int> ScsiPortNumber(const std::string& path) {
  static const std::string kPrefix = "\\\\.\\SCSI";
  if (path.size() < kPrefix.size() + 2 || path.back() != ':') return std::nullopt;
  for (std::size_t i = 0; i < kPrefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(path[i])) != kPrefix[i]) return std::nullopt;
  const std::string digits = path.substr(kPrefix.size(), path.size() - kPrefix.size() - 1);
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::atoi(digits.c_str());
}

namespace {

std::string IoctlName(std::uint32_t code) {
  switch (code) {
    case os::kIOCTL_SCSI_GET_ADDRESS:
      return "IOCTL_SCSI_GET_ADDRESS";
    case os::kIOCTL_STORAGE_GET_DEVICE_NUMBER:
      return "IOCTL_STORAGE_GET_DEVICE_NUMBER";
    case os::kIOCTL_STORAGE_QUERY_PROPERTY:
      return "IOCTL_STORAGE_QUERY_PROPERTY";
    case os::kIOCTL_SCSI_MINIPORT:
      return "IOCTL_SCSI_MINIPORT";
    default:
      return IsPassThroughRequest(code) ? PassThroughRequestName(code) : HexText(code);
  }
}

}  // namespace

bool SimStorage::CloseHandle(os::Handle handle) {
  if (m_PortHandles.erase(handle)) return true;
  return m_Tree.files.erase(handle) != 0;
}

// ---- Disks ----

os::Handle SimStorage::CreateFileA(const std::string& fileName, std::uint32_t, std::uint32_t,
                                   std::uint32_t creationDisposition, std::uint32_t) {
  m_Kernel.Log("CreateFileA " + Quoted(fileName));
  if (const std::optional<int> port = ScsiPortNumber(fileName)) return OpenScsiPort(*port);
  const os::DevInst disk = m_Tree.DiskForPath(fileName);
  if (!disk) {
    m_Kernel.SetLastError(os::kERROR_FILE_NOT_FOUND);
    return os::kINVALID_HANDLE_VALUE;
  }
  if (creationDisposition != os::kOPEN_EXISTING) {
    m_Kernel.SetLastError(os::kERROR_ACCESS_DENIED);
    return os::kINVALID_HANDLE_VALUE;
  }
  if (const std::uint32_t error = m_Tree.Node(disk)->disk->openError) {
    m_Kernel.SetLastError(error);
    return os::kINVALID_HANDLE_VALUE;
  }
  const os::Handle h = m_Kernel.NewHandle(HandleKind::kDisk);
  m_Tree.files[h] = disk;
  return h;
}

bool SimStorage::DeviceIoControl(os::Handle device, std::uint32_t ioControlCode,
                                 const void* inBuffer, std::uint32_t inBufferSize, void* outBuffer,
                                 std::uint32_t outBufferSize, std::uint32_t* bytesReturned) {
  requests.push_back({ioControlCode, inBufferSize, outBufferSize});
  if (m_PortHandles.count(device))
    return ScsiPortIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer,
                             outBufferSize, bytesReturned);
  auto it = m_Tree.files.find(device);
  if (it == m_Tree.files.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const SimDevice& disk = *m_Tree.Node(it->second);
  m_Kernel.Log("DeviceIoControl " + IoctlName(ioControlCode) + " " + Quoted(disk.instanceId));
  if (!m_Tree.Attached(disk)) {
    m_Kernel.SetLastError(os::kERROR_NOT_READY);  // the disk left the tree under the open handle
    return false;
  }
  // The request is read before the answer is written: the two may share one buffer.
  const auto* in = static_cast<const std::uint8_t*>(inBuffer);
  const std::vector<std::uint8_t> request(in, in + (in ? inBufferSize : 0));
  if (IsPassThroughRequest(ioControlCode)) {
    const bool ok = CompleteDriverRequest(
        PassThroughIoControl(disk.disk->ata.get(), disk.disk->transports, ioControlCode, request,
                             static_cast<std::uint8_t*>(outBuffer), outBufferSize),
        bytesReturned);
    // A drive that restarts into new firmware drops off the bus after it has answered.
    if (disk.disk->ata && disk.disk->ata->TakeBusDeparture()) {
      m_Tree.Remove(it->second);
      m_Kernel.Log("Device left the bus " + Quoted(disk.instanceId));
    }
    return ok;
  }
  const SimDisk& d = *disk.disk;
  if (d.nvme && d.nvmeStack.inbox.value_or(d.busType == os::kBusTypeNvme) &&
      IsNvmeStackRequest(ioControlCode, request))
    return CompleteDriverRequest(
        NvmeStackIoControl(*d.nvme, d.nvmeStack, ioControlCode, request,
                           static_cast<std::uint8_t*>(outBuffer), outBufferSize),
        bytesReturned);
  std::uint32_t returned = 0;
  const std::uint32_t error =
      DiskIoControl(*disk.disk, ioControlCode, request, static_cast<std::uint8_t*>(outBuffer),
                    outBufferSize, &returned);
  if (bytesReturned) *bytesReturned = returned;
  if (error) {
    m_Kernel.SetLastError(error);
    return false;
  }
  return true;
}

bool SimStorage::CompleteDriverRequest(const SimIoOutcome& outcome, std::uint32_t* bytesReturned) {
  m_Kernel.Log("  " + outcome.journal);
  m_Kernel.Advance(outcome.elapsedUs);
  if (bytesReturned) *bytesReturned = outcome.error ? 0 : outcome.bytesReturned;
  if (outcome.error) {
    m_Kernel.SetLastError(outcome.error);
    return false;
  }
  return true;
}

os::Handle SimStorage::OpenScsiPort(int number) {
  auto it = ports.find(number);
  if (it == ports.end()) {
    m_Kernel.SetLastError(os::kERROR_FILE_NOT_FOUND);
    return os::kINVALID_HANDLE_VALUE;
  }
  if (it->second.openError) {
    m_Kernel.SetLastError(it->second.openError);
    return os::kINVALID_HANDLE_VALUE;
  }
  const os::Handle h = m_Kernel.NewHandle(HandleKind::kScsiPort);
  m_PortHandles[h] = number;
  return h;
}

bool SimStorage::ScsiPortIoControl(os::Handle device, std::uint32_t ioControlCode,
                                   const void* inBuffer, std::uint32_t inBufferSize,
                                   void* outBuffer, std::uint32_t outBufferSize,
                                   std::uint32_t* bytesReturned) {
  const int number = m_PortHandles.at(device);
  m_Kernel.Log(std::string("DeviceIoControl ") +
               (ioControlCode == os::kIOCTL_SCSI_MINIPORT ? "IOCTL_SCSI_MINIPORT" : "request") +
               " " + Quoted("\\\\.\\SCSI" + std::to_string(number) + ":"));
  SimScsiPort& port = ports[number];
  // The request is read before the answer is written: the two may share one buffer.
  const auto* in = static_cast<const std::uint8_t*>(inBuffer);
  const std::vector<std::uint8_t> request(in, in + (in ? inBufferSize : 0));
  SimIoOutcome outcome;
  if (port.irst && ioControlCode == os::kIOCTL_SCSI_MINIPORT && IsIrstRequest(request)) {
    outcome = IrstIoControl(*port.irst, m_Tree, ioControlCode, request,
                            static_cast<std::uint8_t*>(outBuffer), outBufferSize);
  } else if (port.rste && ioControlCode == os::kIOCTL_SCSI_MINIPORT && IsRsteRequest(request)) {
    outcome =
        RsteIoControl(*port.rste, request, static_cast<std::uint8_t*>(outBuffer), outBufferSize);
  } else if (port.csmi && ioControlCode == os::kIOCTL_SCSI_MINIPORT) {
    outcome = CsmiIoControl(*port.csmi, ioControlCode, request,
                            static_cast<std::uint8_t*>(outBuffer), outBufferSize);
  } else {
    outcome.error = os::kERROR_INVALID_FUNCTION;
    outcome.journal = "request " + std::to_string(ioControlCode) + " -> error 1";
  }
  return CompleteDriverRequest(outcome, bytesReturned);
}

}  // namespace sim
