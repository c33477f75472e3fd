// The main window and the controller of the whole run: everything the program does happens
// while this form is constructed, in the order of the start-up steps.
#pragma once

#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "discovery/scan_selection.h"
#include "framework/forms.h"
#include "framework/timer.h"
#include "package/package_config.h"

namespace app {

// The exit code that deployment scripts read. 255 from process start until the package
// options have been read, so a package that cannot be parsed ends with 255.
extern std::int32_t iErrorLevel;
extern bool bSilent;

inline constexpr const char* kSingleInstanceMutex = "ORMSBY_SCCM_TOOL_MUTEX";

class TTravokMain : public fw::TForm {
 public:
  TTravokMain();
  ~TTravokMain() override;

  const package::PackageConfig& Config() const { return PackageConfig; }
  bool StopUpdate() const { return bStopUpdate; }
  const std::string& TargetPath() const { return m_CommandLine.sTargetPath; }
  const discovery::TCsmiTarget& CsmiTargetRecord() const { return CsmiTarget; }
  const CommandLine& Arguments() const { return m_CommandLine; }

  // The file version of the executable's version resource, "a.b.c.d"; empty when unreadable.
  static std::string FileVersionText();

  fw::TLabel Label1, lblUpdateMsg, lblTo, lblMsg;
  fw::TButton cmdUpdate, cmdClose;
  fw::TTimer tmrCloseMsg;

 protected:
  std::intptr_t WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                        std::intptr_t lParam) override;

 private:
  void StartUp();
  void ReadPackageOptions();
  void SetCaptionFromPackage();
  void SetLanguageTexts();
  bool ReadCommandLine();
  bool AnotherInstanceRuns();
  void BringOtherInstanceToFront();
  bool PackageHoldsFirmware() const;
  void EndStartUp(std::int32_t exitCode, bool stopUpdate);
  bool ShowsStartUpMessages() const { return !bSilent || PackageConfig.bSilentMessages; }

  package::PackageConfig PackageConfig;
  CommandLine m_CommandLine;
  discovery::TCsmiTarget CsmiTarget;
  bool bStopUpdate = false;
  // While on, power events that would suspend the machine are refused.
  bool m_bUpdateInProgress = false;
  os::Handle m_hInstanceMutex = 0;
};

}  // namespace app
