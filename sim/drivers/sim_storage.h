// The storage side of the simulated PC: what CreateFileA opens (a disk by its interface path or
// \\.\PhysicalDriveN, a SCSI port by \\.\ScsiN:) and where each DeviceIoControl goes: the disk's
// storage queries, its pass-through, the inbox NVMe driver, or a port's miniport (CSMI, Intel
// RST, RSTe), told apart by the request's signature.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/drivers/sim_io_outcome.h"
#include "sim/drivers/sim_scsi_port.h"
#include "sim/kernel/sim_kernel.h"
#include "sim/machine/sim_device_tree.h"

namespace sim {

class SimStorage {
 public:
  SimStorage(SimKernel& kernel, SimDeviceTree& tree) : m_Kernel(kernel), m_Tree(tree) {}

  std::map<int, SimScsiPort> ports;  // "\\.\SCSI<n>:" by n
  // Every DeviceIoControl the program made, with the sizes it gave, whatever the handle.
  struct IoRequest {
    std::uint32_t ioControlCode;
    std::uint32_t inSize;
    std::uint32_t outSize;
  };
  std::vector<IoRequest> requests;

  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes);
  bool DeviceIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned);
  // Closes an opened disk or SCSI port; false when the handle is neither.
  bool CloseHandle(os::Handle handle);

 private:
  os::Handle OpenScsiPort(int number);
  bool ScsiPortIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                         std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                         std::uint32_t* bytesReturned);
  // Journals a driver's answer, moves the clock by the time it took and sets the last error.
  bool CompleteDriverRequest(const SimIoOutcome& outcome, std::uint32_t* bytesReturned);

  SimKernel& m_Kernel;
  SimDeviceTree& m_Tree;
  std::map<os::Handle, int> m_PortHandles;  // opened SCSI ports
};

}  // namespace sim
