// The SimPc's storage drivers beyond the disk's own storage queries: the pass-through
// requests of a disk's stack (sim_disk_stack) and the SCSI port objects with their CSMI
// controllers (sim_csmi) and Intel RST NVMe interfaces (sim_irst), told apart by the
// request's signature.
#include <cctype>
#include <cstdlib>

#include "os/layouts/ntddscsi.h"
#include "sim/sim_pc.h"
#include "sim/sim_scsi_port.h"

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

bool SimPc::CompleteDriverRequest(const SimIoOutcome& outcome, std::uint32_t* bytesReturned) {
  Log("  " + outcome.journal);
  m_NowUs += outcome.elapsedUs;
  if (bytesReturned) *bytesReturned = outcome.error ? 0 : outcome.bytesReturned;
  if (outcome.error) {
    m_LastError = outcome.error;
    return false;
  }
  return true;
}

os::Handle SimPc::OpenScsiPort(int number) {
  auto it = scsiPorts.find(number);
  if (it == scsiPorts.end()) {
    m_LastError = os::kERROR_FILE_NOT_FOUND;
    return os::kINVALID_HANDLE_VALUE;
  }
  if (it->second.openError) {
    m_LastError = it->second.openError;
    return os::kINVALID_HANDLE_VALUE;
  }
  const os::Handle h = NewHandle();
  m_ScsiPortHandles[h] = number;
  return h;
}

bool SimPc::CloseScsiPortHandle(os::Handle handle) {
  return m_ScsiPortHandles.erase(handle) != 0;
}

bool SimPc::ScsiPortIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                              std::uint32_t inBufferSize, void* outBuffer,
                              std::uint32_t outBufferSize, std::uint32_t* bytesReturned) {
  const int number = m_ScsiPortHandles.at(device);
  Log(std::string("DeviceIoControl ") +
      (ioControlCode == os::kIOCTL_SCSI_MINIPORT ? "IOCTL_SCSI_MINIPORT" : "request") +
      " \"\\\\.\\SCSI" + std::to_string(number) + ":\"");
  SimScsiPort& port = scsiPorts[number];
  // The request is read before the answer is written: the two may share one buffer.
  const auto* in = static_cast<const std::uint8_t*>(inBuffer);
  const std::vector<std::uint8_t> request(in, in + (in ? inBufferSize : 0));
  SimIoOutcome outcome;
  if (port.irst && ioControlCode == os::kIOCTL_SCSI_MINIPORT && IsIrstRequest(request)) {
    outcome = IrstIoControl(*port.irst, devices, ioControlCode, request,
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
