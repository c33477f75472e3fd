// The boot-time hand-off: the flasher that Windows runs at the next boot, before the drives
// are in use, carries the drive's identity and the package options in placeholder entries of
// its own bytes, and the Session Manager's boot-execute list names it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "discovery/dev_info.h"
#include "framework/forms.h"
#include "package/package_config.h"
#include "transport/ata_device.h"

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

// Writes the flasher chosen for this Windows, patched with `settings`, as the system
// directory's "<base>.exe", then registers it with `imageName` to run at the next boot.
// kHandOffDone, kHandOffFlasherFailed (also when the package holds no program in that slot:
// an empty flasher would be registered and the restart would update nothing), or
// kHandOffBootExecFailed.
int BootHandOff(std::uint32_t versionCode, bool wow64, const std::uint8_t* packageArea,
                const std::string& flasherName, const TFlasherSettings& settings,
                const std::string& imageName);

// What the update procedure hands over when the package flashes at boot time.
struct THandOffRequest {
  fw::TForm& owner;  // of the message boxes
  transport::TAtaDevice& device;
  const discovery::DevInfo& drive;
  const package::PackageConfig& config;
  const std::uint8_t* packageArea;
  // Binds the device object to the drive again as the drive was found (the drive list's
  // binding), so that the flasher is told the transport that reaches the drive now.
  std::function<void()> rebind;
  std::string target;     // the target-revision label, trimmed
  std::string targetExt;  // the extended-revision label, trimmed
  bool bSilent = false;
};

inline constexpr const char* kImageWriteFailed = "Fail to write FW files into system !\n";
inline constexpr const char* kUpdateWriteFailed =
    "[0x%X] Fail to write UPDATE files into system !\n";
inline constexpr const char* kHandOffWarning =
    "WARNING: THIS PROCESS WILL UPDATE THE FIRMWARE ON YOUR SSD.THERE IS A RISK DURING FIRMWARE "
    "UPDATE PROCESS.YOUR SSD MAY NOT FUNCTION PROPERLY IF THE FIRMWARE PROCESS IS INTERRUPTED FOR "
    "ANY REASON.AS WE PROVIDES NO WARRANTY FOR THE DATA ON YOUR DRIVE, IT IS STRONGLY RECOMMENDED "
    "THAT YOU SHOULD BACKUP ALL IMPORTANT FILES IN ADVANCE.";

// The update procedure's side of the hand-off, with the image already loaded and deciphered:
// "FW.bin", the re-bind, the flasher and its boot-execute entry, the copy program on 64-bit
// Windows, the shutdown privilege, the warning and the restart question. Answers the result
// (0 when "FW.bin" could not be written). The caller then enables the drive list and the
// Update button again and ends the application, leaving the exit code as it was.
int RunBootHandOff(const THandOffRequest& request);

}  // namespace app
