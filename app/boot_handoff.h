// The boot-time hand-off: the flasher that Windows runs at the next boot, before the drives
// are in use, carries the drive's identity and the package options in placeholder entries of
// its own bytes, and the Session Manager's boot-execute list names it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace app {

// Result codes of BootHandOff.
inline constexpr int kHandOffDone = 1;
inline constexpr int kHandOffFlasherFailed = 0xE1;   // the flasher file was not written
inline constexpr int kHandOffBootExecFailed = 0xE2;  // the boot-execute value was not written

inline constexpr const char* kSessionManagerKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// What the flasher is told, in the order the placeholders are patched.
struct TFlasherSettings {
  bool bootcode = false;         // "UPDATEBOOT="
  bool preformatBefore = false;  // "B_PREFORMAT="
  bool preformatAfter = false;   // "A_PREFORMAT="
  int transportKind = 0;         // "PROTOCOL="
  bool reboot = false;           // "SSDREBOOT="
  std::string target;            // "_____FW="
  std::string targetExt;         // "_FW_EXT="
  std::string model;             // "VENDID1=", at most 40 characters
  std::string firmware;          // "FW1=", at most 8
  std::string serial;            // "SN1=", at most 20
};

// Writes each value after the first whole occurrence of its key, without a terminator, and
// never past the end of the flasher; a key the flasher does not carry is skipped.
void PatchFlasherSettings(std::vector<std::uint8_t>& flasher, const TFlasherSettings& settings);

// "NtKavlo.exe" -> "NtKavlo": the characters before the first ".EXE" in any letter case.
std::string FlasherBaseName(const std::string& flasherName);

// The REG_MULTI_SZ that replaces BootExecute: "autocheck autochk *", then the flasher's base
// name, a space and the image file name, each terminated, and the empty string that ends it.
std::vector<std::uint8_t> BootExecuteData(const std::string& flasherBase,
                                          const std::string& imageName);

// Replaces BootExecute under the Session Manager key: kHandOffDone, or kHandOffBootExecFailed
// when the key cannot be opened or the value not set (nothing would run at the next boot, so
// neither counts as done).
int RegisterBootExecute(const std::string& flasherBase, const std::string& imageName);

}  // namespace app
