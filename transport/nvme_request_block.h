// One zero-filled request block of the miniport NVMe interfaces, freed when the call ends. An
// allocation that fails leaves it empty, and the operation answers 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "os/os.h"

namespace transport {

class NvmeRequestBlock {
 public:
  explicit NvmeRequestBlock(std::size_t size);
  explicit operator bool() const { return m_Size != 0; }
  std::span<std::uint8_t> Bytes() { return {m_Bytes.get(), m_Size}; }
  void Clear();
  // IOCTL_SCSI_MINIPORT with the block as input and output.
  bool Send(os::Handle handle);
  // The Windows error of the last Send that failed; 0 while none has.
  std::uint32_t LastError() const { return m_LastError; }

 private:
  std::unique_ptr<std::uint8_t[]> m_Bytes;
  std::size_t m_Size;
  std::uint32_t m_LastError = 0;
};

}  // namespace transport
