// NVMe admin commands as the program hands them to a driver: the 64-byte submission queue
// entry, the data directions of the pass-through requests, and the one command every NVMe path
// sends, IDENTIFY CONTROLLER.
#pragma once

#include <array>
#include <cstdint>

#include "framework/bytes.h"
#include "transport/nvme_requests.h"

namespace transport {

// Command dwords 0 to 15, filled by the caller and carried unchanged.
using NvmeCommand = std::array<std::uint8_t, 64>;

// NVMe data directions.
inline constexpr int kNvmeToDevice = 1;
inline constexpr int kNvmeFromDevice = 2;

// Identify (06h), namespace 0, CNS 1: the controller.
inline NvmeCommand NvmeIdentifyControllerCommand() {
  NvmeCommand command{};
  command[0] = nvme::kOpcodeIdentify;
  fw::PutU32le(command, nvme::kCdw10, nvme::kCnsController);
  return command;
}

}  // namespace transport
