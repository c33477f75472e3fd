// SRB_IO_CONTROL, the header in front of every IOCTL_SCSI_MINIPORT request, as the port driver
// reads it before any miniport of the simulated PC sees the request: the inbox NVMe driver's
// firmware interface, the Intel RST and RSTe interfaces and CSMI all start here.
//
// The port driver refuses with ERROR_INVALID_PARAMETER a buffer shorter than the header, a
// HeaderLength other than 28, and a Length that does not fit, after the header, in the input or
// the output buffer (either one suffices: it copies the larger into its system buffer). The
// miniport is then handed the header and Length bytes after it, no more: a request block or data
// area beyond HeaderLength + Length is not in the request, whatever the buffer holds.
//
// The NVMe drivers give up on a command after the request's Timeout; one of 0 would never end,
// and they refuse it. CSMI drivers take 0 as their own default: they read with kOptional.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"
#include "os/os.h"
#include "sim/drivers/sim_io_outcome.h"

namespace sim {

namespace srb {
inline constexpr std::size_t kHeaderLength = 0, kSignature = 4, kSignatureSize = 8, kTimeout = 12,
                             kControlCode = 16, kReturnCode = 20, kLength = 24, kSize = 28;
}

enum class MiniportTimeout { kRequired, kOptional };

struct SimMiniportHeader {
  std::uint32_t error = 0;  // the port driver fails the request with this Windows error
  std::string signature;    // the 8 bytes as sent; empty when the buffer is shorter
  std::uint32_t timeout = 0;
  std::uint32_t controlCode = 0;
  std::uint32_t returnCode = 0;  // RSTe passes its disk identifier in here
  std::uint32_t length = 0;

  // Whether the signature is `name`, zero-padded to 8 bytes.
  bool Signed(std::string_view name) const {
    std::string padded(name.substr(0, srb::kSignatureSize));
    padded.resize(srb::kSignatureSize, '\0');
    return signature == padded;
  }
  // The signature up to its first zero byte, for the journal.
  std::string SignatureText() const { return signature.substr(0, signature.find('\0')); }
  // One past the last byte the miniport is handed.
  std::size_t End() const { return srb::kSize + std::size_t(length); }
};

// The signature of a request, without judging the rest of the header: how the port object
// tells its miniports apart.
inline bool MiniportSigned(std::span<const std::uint8_t> in, std::string_view name) {
  if (in.size() < srb::kSignature + srb::kSignatureSize) return false;
  SimMiniportHeader h;
  h.signature.assign(reinterpret_cast<const char*>(&in[srb::kSignature]), srb::kSignatureSize);
  return h.Signed(name);
}

inline SimMiniportHeader ReadMiniportHeader(std::span<const std::uint8_t> in, std::uint32_t outSize,
                                            MiniportTimeout timeout = MiniportTimeout::kRequired) {
  SimMiniportHeader h;
  if (in.size() < srb::kSize) {
    h.error = os::kERROR_INVALID_PARAMETER;
    return h;
  }
  h.signature.assign(reinterpret_cast<const char*>(&in[srb::kSignature]), srb::kSignatureSize);
  h.timeout = fw::GetU32le(in, srb::kTimeout);
  h.controlCode = fw::GetU32le(in, srb::kControlCode);
  h.returnCode = fw::GetU32le(in, srb::kReturnCode);
  h.length = fw::GetU32le(in, srb::kLength);
  const std::size_t room = std::max<std::size_t>(in.size(), outSize);
  if (fw::GetU32le(in, srb::kHeaderLength) != srb::kSize || h.End() > room ||
      (timeout == MiniportTimeout::kRequired && h.timeout == 0))
    h.error = os::kERROR_INVALID_PARAMETER;
  return h;
}

}  // namespace sim
