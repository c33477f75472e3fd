// The service control manager (winsvc.h), with a k in front of the Windows names.
// win32/layout_checks.cpp proves each against the headers.
#pragma once

#include <cstdint>

namespace os {

inline constexpr std::uint32_t kSC_MANAGER_CONNECT = 0x0001;
inline constexpr std::uint32_t kSERVICE_QUERY_STATUS = 0x0004;
inline constexpr std::uint32_t kSERVICE_START = 0x0010;
inline constexpr std::uint32_t kSERVICE_STOPPED = 1;
inline constexpr std::uint32_t kSERVICE_START_PENDING = 2;
inline constexpr std::uint32_t kSERVICE_STOP_PENDING = 3;
inline constexpr std::uint32_t kSERVICE_RUNNING = 4;
inline constexpr std::uint32_t kSERVICE_CONTINUE_PENDING = 5;
inline constexpr std::uint32_t kSERVICE_PAUSE_PENDING = 6;
inline constexpr std::uint32_t kSERVICE_PAUSED = 7;
inline constexpr std::uint32_t kSERVICE_WIN32_OWN_PROCESS = 0x00000010;

}  // namespace os
