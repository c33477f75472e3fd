#include "app/message_boxes.h"

#include "os/os.h"
#include "platform/osinfo.h"

namespace app {

const TMessageKindInfo& MessageKindInfo(TMessageKind kind) {
  static const TMessageKindInfo kError{"Error", os::kMB_OK | os::kMB_ICONERROR, false};
  static const TMessageKindInfo kNotice{"Information", os::kMB_OK | os::kMB_ICONINFORMATION, false};
  static const TMessageKindInfo kEraseWarning{"Information", os::kMB_OK | os::kMB_ICONWARNING,
                                              false};
  static const TMessageKindInfo kFinish{"Information", os::kMB_OK | os::kMB_ICONINFORMATION, true};
  static const TMessageKindInfo kUpdateRestart{"Question", os::kMB_YESNO | os::kMB_ICONQUESTION,
                                               false};
  static const TMessageKindInfo kHandOffRestart{"Question", os::kMB_YESNO | os::kMB_ICONQUESTION,
                                                true};
  static const TMessageKindInfo kManualDone{"Information", os::kMB_OK | os::kMB_ICONINFORMATION,
                                            true};
  static const TMessageKindInfo kManualError{"Error", os::kMB_OK | os::kMB_ICONERROR, true};
  switch (kind) {
    case TMessageKind::kError:
      return kError;
    case TMessageKind::kNotice:
      return kNotice;
    case TMessageKind::kEraseWarning:
      return kEraseWarning;
    case TMessageKind::kFinishNotice:
      return kFinish;
    case TMessageKind::kUpdateRestart:
      return kUpdateRestart;
    case TMessageKind::kHandOffRestart:
      return kHandOffRestart;
    case TMessageKind::kManualFlashDone:
      return kManualDone;
    case TMessageKind::kManualFlashError:
      return kManualError;
  }
  return kError;
}

int ShowMessage(fw::TForm& owner, TMessageKind kind, const std::string& text, bool silent) {
  const TMessageKindInfo& info = MessageKindInfo(kind);
  if (silent && !info.shownWhenSilent)
    return (info.type & os::kMB_TYPEMASK) == os::kMB_YESNO ? os::kIDNO : os::kIDOK;
  return owner.MessageBox(text, info.caption, info.type);
}

// The restart is forced and not waited for: whatever it answers, the run goes on to its end.
bool PromptRestartAfterUpdate(fw::TForm& owner, bool silent) {
  if (!silent &&
      ShowMessage(owner, TMessageKind::kUpdateRestart, kUpdateRestartQuestion, false) != os::kIDYES)
    return false;
  platform::RebootSystem();
  return true;
}

bool PromptRestartAfterHandOff(fw::TForm& owner) {
  if (ShowMessage(owner, TMessageKind::kHandOffRestart, kHandOffRestartQuestion, true) !=
      os::kIDYES)
    return false;
  platform::RebootSystem();
  return true;
}

}  // namespace app
