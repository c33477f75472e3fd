// The end of the start-up: no eligible drive, the warnings a package asks for before the
// update, and the system menu of a run that goes on.
#include <string>

#include "app/deployment_keys.h"
#include "app/frmTravok.h"
#include "app/texts.h"
#include "framework/application.h"
#include "package/package_area.h"

namespace app {

namespace {

constexpr int kCloseMenuPosition = 5;  // the separator, then "Close"

}  // namespace

int TTravokMain::EligibleDrives() const {
  int eligible = 0;
  for (int i = 0; i < discovery::gCount && i < discovery::kMaxDrives; ++i)
    if (m_DevInfo[std::size_t(i)].bExisted && m_DevInfo[std::size_t(i)].bEligible) ++eligible;
  return eligible;
}

void TTravokMain::EndWithoutEligibleDrive() {
  const bool chinese = PackageConfig.iLanguage == 1;
  std::string& text = m_sNoTargetText;
  text = Text(kNoMatchedDrives, PackageConfig.iLanguage);
  if (chinese || !PackageConfig.bHiddenDrives)
    text += kDetectedDrives + m_DriveList.DetectedDrives();
  if (PackageConfig.iVisualStyle == 20) MarkNoTargetDevice();
  if (!bSilent && !PackageConfig.bUpdaterMode && !text.empty())
    MessageBox(text, "Error", os::kMB_TOPMOST | os::kMB_ICONERROR);
  EndStartUp(3, true);
}

// False when the user declined the warning or the notice.
bool TTravokMain::ConfirmUpdate() {
  const std::uint32_t question = os::kMB_TOPMOST | os::kMB_ICONINFORMATION | os::kMB_YESNO;
  if (PackageConfig.iVisualStyle == 4 &&
      MessageBox(kStyle4Warning, "Warning", question) == os::kIDNO)
    return false;
  if (PackageConfig.iVisualStyle == 0 &&
      (PackageConfig.iNoticeLevel == 1 || PackageConfig.iNoticeLevel == 2) && !bSilent &&
      MessageBox(NoticeMessage(), "Warning", question) == os::kIDNO)
    return false;
  return true;
}

std::string TTravokMain::NoticeMessage() const {
  const NoticeText& n = PackageConfig.iLanguage == 1 ? kNoticeBig5 : kNoticeEnglish;
  std::string text = n.supports + package::ProductModel(package::PackageArea()) + n.model +
                     n.notice + n.item1 + n.item2;
  if (PackageConfig.iNoticeLevel == 2) text += n.item3;
  return text + n.question;
}

void TTravokMain::RemoveCloseFromSystemMenu() {
  auto& sys = os::Current();
  const os::Hmenu menu = sys.GetSystemMenu(Handle(), false);
  sys.RemoveMenu(menu, kCloseMenuPosition, os::kMF_BYPOSITION);
  sys.RemoveMenu(menu, kCloseMenuPosition, os::kMF_BYPOSITION);
}

}  // namespace app
