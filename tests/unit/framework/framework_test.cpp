#include <gtest/gtest.h>

#include <memory>

#include "framework/application.h"
#include "framework/exceptions.h"
#include "framework/forms.h"
#include "framework/thread.h"
#include "framework/timer.h"
#include "framework/version_info.h"
#include "sim/sim_pc.h"

namespace {

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    os::Install(&pc);
    app = std::make_unique<fw::TApplication>();
    fw::Application = app.get();
    app->Initialize();
  }
  void TearDown() override {
    app.reset();
    fw::Application = nullptr;
    os::Install(nullptr);
  }
  sim::SimPc pc;
  std::unique_ptr<fw::TApplication> app;
};

struct PlainForm : fw::TForm {
  PlainForm() : fw::TForm("TPlainForm", "Plain") {}
};

TEST_F(Framework, TimersFireAtTheirVirtualTimesUntilTerminated) {
  app->CreateForm<PlainForm>();
  fw::TTimer fast, slow;
  std::vector<std::pair<char, std::uint64_t>> fired;
  fast.OnTimer = [&] { fired.push_back({'f', pc.NowMicroseconds() / 1000}); };
  slow.OnTimer = [&] {
    fired.push_back({'s', pc.NowMicroseconds() / 1000});
    app->Terminate();
  };
  fast.SetInterval(300);
  fast.SetEnabled(true);
  slow.SetInterval(1000);
  slow.SetEnabled(true);
  app->Run();
  const std::vector<std::pair<char, std::uint64_t>> expected = {
      {'f', 300}, {'f', 600}, {'f', 900}, {'s', 1000}};
  EXPECT_EQ(fired, expected);
  EXPECT_TRUE(app->Terminated());
  EXPECT_FALSE(pc.Idled());
}

TEST_F(Framework, ADisabledTimerNeverFiresAndAnIdleLoopEnds) {
  app->CreateForm<PlainForm>();
  fw::TTimer timer;
  int fired = 0;
  timer.OnTimer = [&] { ++fired; };
  timer.SetInterval(50);
  timer.SetEnabled(true);
  timer.SetEnabled(false);
  app->Run();
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(pc.Idled());
}

TEST_F(Framework, RunReturnsAtOnceWhenTerminatedBeforeAndHidesTheMainFormOnRequest) {
  auto* form = app->CreateForm<PlainForm>();
  app->ShowMainForm = false;
  app->Terminate();
  app->Run();
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(pc.Idled());
}

struct Worker : fw::TThread {
  explicit Worker(int* ran) : m_Ran(ran) {}
  void Execute() override {
    ++*m_Ran;
    ReturnValue = 42;
  }
  int* m_Ran;
};

TEST_F(Framework, ThreadCompletionIsDeliveredFromTheMainThreadsMessageLoop) {
  int ran = 0, delivered = 0, result = 0;
  auto* worker = new Worker(&ran);
  worker->FreeOnTerminate = true;
  worker->OnTerminate = [&](fw::TThread* t) {
    ++delivered;
    result = t->ReturnValue;
  };
  worker->Start();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(delivered, 0);  // not before the main thread handles its messages
  app->ProcessMessages();
  EXPECT_EQ(delivered, 1);
  EXPECT_EQ(result, 42);
}

TEST_F(Framework, TheErrorBoxShowsTheMessageUnderTheApplicationTitle) {
  pc.moduleFileName = "C:\\Deploy\\K5Update.exe";
  app->Initialize();
  const fw::EConvertError error("' ' is not a valid boolean value");
  app->ShowException(&error);
  app->ShowException(nullptr);
  ASSERT_EQ(pc.MessageBoxes().size(), 2u);
  EXPECT_EQ(pc.MessageBoxes()[0].text, "' ' is not a valid boolean value.");
  EXPECT_EQ(pc.MessageBoxes()[0].caption, "K5Update");
  EXPECT_EQ(pc.MessageBoxes()[0].type, os::kMB_OK | os::kMB_ICONERROR);
  EXPECT_EQ(pc.MessageBoxes()[1].text, "");
}

TEST(VersionInfo, ReadsTheFixedFileVersionOfTheRootBlock) {
  auto res = sim::SimPc::BuildVersionResource({3, 1, 21, 20});
  EXPECT_EQ(fw::FileVersionFromResource(res), "3.1.21.20");
  EXPECT_EQ(fw::FileVersionFromResource(sim::SimPc::BuildVersionResource({65535, 0, 7, 65535})),
            "65535.0.7.65535");
  auto badSignature = res;
  badSignature[40] ^= 1;
  EXPECT_EQ(fw::FileVersionFromResource(badSignature), "");
  auto badKey = res;
  badKey[6] = 'W';
  EXPECT_EQ(fw::FileVersionFromResource(badKey), "");
  EXPECT_EQ(fw::FileVersionFromResource(std::span(res).first(60)), "");
}

}  // namespace
