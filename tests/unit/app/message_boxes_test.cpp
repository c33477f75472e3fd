// The message-box kinds and the two restart prompts: what the user sees, what silent mode
// hides, and when Windows is asked to restart.
#include "app/message_boxes.h"

#include <gtest/gtest.h>

#include "os/os.h"
#include "sim/sim_pc.h"

namespace {

class MessageBoxes : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override { os::Install(nullptr); }
  sim::SimPc pc;
};

struct Owner : fw::TForm {
  Owner() : fw::TForm("TfrmTravok", "Travok") {}
};

TEST_F(MessageBoxes, EachKindHasItsCaptionIconAndSilentRule) {
  using K = app::TMessageKind;
  struct Case {
    K kind;
    const char* caption;
    std::uint32_t type;
    bool shownWhenSilent;
  } cases[] = {
      {K::kError, "Error", os::kMB_OK | os::kMB_ICONERROR, false},
      {K::kNotice, "Information", os::kMB_OK | os::kMB_ICONINFORMATION, false},
      {K::kEraseWarning, "Information", os::kMB_OK | os::kMB_ICONWARNING, false},
      {K::kFinishNotice, "Information", os::kMB_OK | os::kMB_ICONINFORMATION, true},
      {K::kUpdateRestart, "Question", os::kMB_YESNO | os::kMB_ICONQUESTION, false},
      {K::kHandOffRestart, "Question", os::kMB_YESNO | os::kMB_ICONQUESTION, true},
      {K::kManualFlashDone, "Information", os::kMB_OK | os::kMB_ICONINFORMATION, true},
      {K::kManualFlashError, "Error", os::kMB_OK | os::kMB_ICONERROR, true},
  };
  Owner owner;
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      const std::size_t before = pc.MessageBoxes().size();
      app::ShowMessage(owner, c.kind, "text", silent);
      const bool shown = pc.MessageBoxes().size() > before;
      EXPECT_EQ(shown, !silent || c.shownWhenSilent) << c.caption << " silent " << silent;
      if (!shown) continue;
      const auto& box = pc.MessageBoxes().back();
      EXPECT_EQ(box.caption, c.caption);
      EXPECT_EQ(box.type, c.type) << c.caption;
      EXPECT_EQ(box.owner, owner.Handle()) << c.caption;
      EXPECT_EQ(box.text, "text");
    }
  }
}

TEST_F(MessageBoxes, RestartPromptsAskAsTheRunRequires) {
  struct Case {
    const char* name;
    bool handOff, silent;
    int answer;  // 0: no box expected
    bool restarts;
  } cases[] = {
      {"update, silent: restarts at once", false, true, 0, true},
      {"update, asked, yes", false, false, os::kIDYES, true},
      {"update, asked, no", false, false, os::kIDNO, false},
      {"hand-off, silent still asks, yes", true, true, os::kIDYES, true},
      {"hand-off, no", true, true, os::kIDNO, false},
  };
  for (const Case& c : cases) {
    pc.Reset();
    Owner owner;
    if (c.answer) pc.ScriptAnswer(c.answer);
    const bool requested = c.handOff ? app::PromptRestartAfterHandOff(owner)
                                     : app::PromptRestartAfterUpdate(owner, c.silent);
    EXPECT_EQ(requested, c.restarts) << c.name;
    EXPECT_EQ(pc.system.Restarts().size(), c.restarts ? 1u : 0u) << c.name;
    ASSERT_EQ(pc.MessageBoxes().size(), c.answer ? 1u : 0u) << c.name;
    if (!c.answer) continue;
    EXPECT_EQ(pc.MessageBoxes()[0].text,
              c.handOff ? app::kHandOffRestartQuestion : app::kUpdateRestartQuestion)
        << c.name;
    EXPECT_EQ(pc.MessageBoxes()[0].caption, "Question") << c.name;
  }
}

}  // namespace
