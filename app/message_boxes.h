// The message boxes the update procedure and the boot-time hand-off show, and the restart
// prompts that end a successful update or a hand-off. Every box is modal and owned by the main
// window; a call site names only the kind, so that no caption, icon or silent-mode rule is
// chosen twice.
#pragma once

#include <cstdint>
#include <string>

#include "framework/forms.h"

namespace app {

enum class TMessageKind {
  kError,             // "Error", error icon
  kNotice,            // "Information", information icon
  kEraseWarning,      // "Information", warning icon: the system drive would be erased
  kFinishNotice,      // "Information", information icon; the finish box of package style 9
  kUpdateRestart,     // "Question", Yes/No; a silent run restarts without asking
  kHandOffRestart,    // "Question", Yes/No; asked in silent mode too
  kManualFlashDone,   // the framework's information dialog
  kManualFlashError,  // the framework's error dialog
};

struct TMessageKindInfo {
  const char* caption;
  std::uint32_t type;  // MB_ buttons and icon
  bool shownWhenSilent;
};

const TMessageKindInfo& MessageKindInfo(TMessageKind kind);

// Shows the box unless silent mode hides this kind; answers the button pressed, or IDOK (IDNO
// for a question) when no box was shown.
int ShowMessage(fw::TForm& owner, TMessageKind kind, const std::string& text, bool silent);

inline constexpr const char* kUpdateRestartQuestion =
    "Reboot Confirmation:\nThe drive will not properly function until you shut down and reboot "
    "the system. If you continue to reboot the system now, press Yes button. Or if you do not "
    "reboot now but manually do later, press No button.\n";
inline constexpr const char* kHandOffRestartQuestion =
    "The update process needs to REBOOT your computer. Do you want to reboot NOW ?\n";

// After a successful update when no drive follows and the package asks for a restart: a
// silent run restarts Windows at once, otherwise the user is asked. True when a restart was
// requested.
bool PromptRestartAfterUpdate(fw::TForm& owner, bool silent);
// After the boot-time hand-off: always asks, silent or not. True when a restart was requested.
bool PromptRestartAfterHandOff(fw::TForm& owner);

}  // namespace app
