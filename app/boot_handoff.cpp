#include "app/boot_handoff.h"

#include <algorithm>
#include <string_view>

#include <cstdio>

#include "app/message_boxes.h"
#include "framework/conversions.h"
#include "framework/fixed_text.h"
#include "os/os.h"
#include "package/boot_files.h"
#include "package/program_slots.h"
#include "platform/osinfo.h"

namespace app {
namespace {

void Patch(std::vector<std::uint8_t>& bytes, std::string_view key, std::string_view value) {
  const auto at = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
  if (at == bytes.end()) return;
  const std::size_t start = std::size_t(at - bytes.begin()) + key.size();
  const std::size_t n = std::min(value.size(), bytes.size() - start);
  std::copy_n(value.begin(), n, bytes.begin() + std::ptrdiff_t(start));
}

std::string_view Flag(bool on) {
  return on ? "1" : "0";
}

std::string Limited(const std::string& text, std::size_t width) {
  return text.substr(0, std::min(text.find('\0'), width));
}

}  // namespace

void PatchFlasherSettings(std::vector<std::uint8_t>& flasher, const TFlasherSettings& s) {
  Patch(flasher, "UPDATEBOOT=", Flag(s.bootcode));
  Patch(flasher, "B_PREFORMAT=", Flag(s.preformatBefore));
  Patch(flasher, "A_PREFORMAT=", Flag(s.preformatAfter));
  Patch(flasher, "PROTOCOL=", std::to_string(s.transportKind));
  Patch(flasher, "SSDREBOOT=", Flag(s.reboot));
  Patch(flasher, "_____FW=", s.target);
  Patch(flasher, "_FW_EXT=", s.targetExt);
  Patch(flasher, "DRIVECOUNT=", "0001");
  Patch(flasher, "VENDID1=", Limited(s.model, 40));
  Patch(flasher, "FW1=", Limited(s.firmware, 8));
  Patch(flasher, "SN1=", Limited(s.serial, 20));
}

std::string FlasherBaseName(const std::string& flasherName) {
  const std::size_t dot = fw::UpperCase(flasherName).find(".EXE");
  return dot == std::string::npos ? flasherName : flasherName.substr(0, dot);
}

std::vector<std::uint8_t> BootExecuteData(const std::string& flasherBase,
                                          const std::string& imageName) {
  const std::string entries[] = {"autocheck autochk *", flasherBase + " " + imageName};
  std::vector<std::uint8_t> data;
  for (const std::string& entry : entries) {
    data.insert(data.end(), entry.begin(), entry.end());
    data.push_back(0);
  }
  data.push_back(0);
  return data;
}

int RegisterBootExecute(const std::string& flasherBase, const std::string& imageName) {
  auto& sys = os::Current();
  os::Hkey key = 0;
  if (sys.RegOpenKeyExA(os::kHKEY_LOCAL_MACHINE, kSessionManagerKey, 0, os::kKEY_ALL_ACCESS,
                        &key) != std::int32_t(os::kERROR_SUCCESS))
    return kHandOffBootExecFailed;
  const std::vector<std::uint8_t> data = BootExecuteData(flasherBase, imageName);
  const std::int32_t error = sys.RegSetValueExA(key, "BootExecute", os::kREG_MULTI_SZ, data.data(),
                                                std::uint32_t(data.size()));
  sys.RegCloseKey(key);
  return error == std::int32_t(os::kERROR_SUCCESS) ? kHandOffDone : kHandOffBootExecFailed;
}

int BootHandOff(std::uint32_t versionCode, bool wow64, const std::uint8_t* packageArea,
                const std::string& flasherName, const TFlasherSettings& settings,
                const std::string& imageName) {
  const std::string base = FlasherBaseName(flasherName);
  const std::string directory = os::Current().GetSystemDirectoryA();
  const package::ProgramSlot slot =
      package::ReadProgramSlot(packageArea, package::FlasherSlot(versionCode, wow64));
  if (directory.empty() || slot.size == 0) return kHandOffFlasherFailed;
  std::vector<std::uint8_t> flasher(slot.bytes, slot.bytes + slot.size);
  PatchFlasherSettings(flasher, settings);
  if (!package::WriteFlasherFile(directory + "\\" + base + ".exe", flasher))
    return kHandOffFlasherFailed;
  return RegisterBootExecute(base, imageName);
}

int RunBootHandOff(const THandOffRequest& r) {
  platform::OSInfo osInfo;
  if (!package::WriteImageFile()) {
    ShowMessage(r.owner, TMessageKind::kError, kImageWriteFailed, r.bSilent);
    return 0;
  }
  if (r.rebind) r.rebind();
  TFlasherSettings settings;
  settings.bootcode = r.config.Bootcode;
  settings.preformatBefore = r.config.bPreformatBefore;
  settings.preformatAfter = r.config.Preformat;
  settings.transportKind = r.device.GetTransportKind();
  settings.reboot = r.config.ReBoot;
  settings.target = r.target;
  settings.targetExt = r.targetExt;
  settings.model = discovery::FieldText(r.drive.model);
  settings.firmware = discovery::FieldText(r.drive.firmware);
  settings.serial = discovery::FieldText(r.drive.serial);
  const std::uint32_t versionCode = osInfo.GetOSVersionCode();
  const bool wow64 = osInfo.IsWow64();
  const int result =
      BootHandOff(versionCode, wow64, r.packageArea, "NtKavlo.exe", settings, "FW.bin");
  if (result >= 2) {
    char text[96];
    std::snprintf(text, sizeof text, kUpdateWriteFailed, unsigned(result));
    ShowMessage(r.owner, TMessageKind::kError, text, r.bSilent);
    return result;
  }
  if (wow64) {
    const int copySlot = package::CopyProgramSlot(versionCode, wow64);
    package::StartCopyProgram(package::ReadProgramSlot(r.packageArea, copySlot).Bytes());
  }
  platform::EnableShutdownPrivilege();
  ShowMessage(r.owner, TMessageKind::kNotice, kHandOffWarning, r.bSilent);
  PromptRestartAfterHandOff(r.owner);
  return result;
}

}  // namespace app
