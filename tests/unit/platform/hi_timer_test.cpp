#include "platform/hi_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "framework/application.h"
#include "framework/timer.h"
#include "sim/sim_pc.h"

namespace {

class HiTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override {
    app.reset();
    fw::Application = nullptr;
    os::Install(nullptr);
  }
  void StartApplication() {
    app = std::make_unique<fw::TApplication>();
    fw::Application = app.get();
    app->Initialize();
  }
  // A window of the calling thread that counts what it is sent.
  os::Hwnd CountingWindow() {
    return pc.CreateWindowExA(0, "TCounter", "", 0,
                              [this](os::Hwnd, std::uint32_t msg, std::uintptr_t, std::intptr_t) {
                                received.push_back(msg);
                                return std::intptr_t(0);
                              });
  }
  std::uint64_t NowMs() const { return pc.NowMicroseconds() / 1000; }

  sim::SimPc pc;
  std::unique_ptr<fw::TApplication> app;
  std::vector<std::uint32_t> received;
};

TEST_F(HiTimerTest, AStopwatchMeasuresRunningIntervalsAndAccumulatesThem) {
  platform::HiTimer timer;  // the virtual counter reads 0 here: the timer must still run
  EXPECT_EQ(timer.Elapsed(), 0);
  timer.Start();
  pc.Sleep(250);
  EXPECT_DOUBLE_EQ(double(timer.Elapsed()), 0.25);
  timer.Stop();
  EXPECT_EQ(timer.Elapsed(), 0) << "a stopped timer";
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.25);

  timer.Stop();  // stopping again adds nothing
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.25);

  timer.Start();
  pc.Sleep(100);
  timer.Elapsed();  // the running interval counts up to the last reading
  pc.Sleep(900);
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.35);
  timer.Stop();
  EXPECT_DOUBLE_EQ(double(timer.Total()), 1.25);

  timer.Start(true);
  EXPECT_EQ(timer.Total(), 0) << "a reset start";
  pc.Sleep(50);
  timer.Reset();
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(timer.Total(), 0);
}

TEST_F(HiTimerTest, AZeroWaitReturnsAfterTheFirstCheckWithoutHandlingMessages) {
  const os::Hwnd window = CountingWindow();
  pc.PostMessageA(window, os::kWM_USER, 0, 0);
  platform::HiTimer timer;
  timer.WaitMilliseconds(0);
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(pc.NowMicroseconds(), 0u);
  timer.WaitMilliseconds(1);
  EXPECT_EQ(received, std::vector<std::uint32_t>{os::kWM_USER});
  EXPECT_EQ(NowMs(), 1u);
}

TEST_F(HiTimerTest, ATimerArmedBeforeAWaitFiresDuringItAtItsVirtualTimes) {
  StartApplication();
  fw::TTimer tick;
  std::vector<std::uint64_t> fired;
  tick.OnTimer = [&] { fired.push_back(NowMs()); };
  tick.SetInterval(300);
  tick.SetEnabled(true);
  platform::HiTimer timer;
  timer.WaitSeconds(1);
  EXPECT_EQ(fired, (std::vector<std::uint64_t>{300, 600, 900}));
  EXPECT_EQ(pc.NowMicroseconds(), 1'000'000u) << "the wait ends on time";
  EXPECT_FALSE(timer.Running());
}

TEST_F(HiTimerTest, WaitsCostVirtualTimeOnly) {
  StartApplication();
  platform::HiTimer timer;
  const auto begin = std::chrono::steady_clock::now();
  timer.WaitSeconds(5);
  timer.WaitMilliseconds(3000);
  const auto real = std::chrono::steady_clock::now() - begin;
  EXPECT_EQ(NowMs(), 8000u);
  EXPECT_LT(real, std::chrono::seconds(2));
}

TEST_F(HiTimerTest, AWaitAfterTheApplicationEndedStillEndsOnTime) {
  StartApplication();
  fw::TTimer tick;  // due again and again, but nobody takes its messages any more
  tick.SetInterval(10);
  tick.SetEnabled(true);
  app->Terminate();
  platform::HiTimer timer;
  timer.WaitMilliseconds(50);
  EXPECT_EQ(NowMs(), 50u);
}

TEST_F(HiTimerTest, AThreadWithoutTheApplicationHandlesItsOwnMessagesAndLeavesTheQuit) {
  const os::Hwnd window = CountingWindow();
  pc.PostMessageA(window, os::kWM_USER, 0, 0);
  pc.PostMessageA(window, os::kWM_USER + 1, 0, 0);
  platform::HiTimer timer;
  timer.WaitMilliseconds(5);
  EXPECT_EQ(received, (std::vector<std::uint32_t>{os::kWM_USER, os::kWM_USER + 1}));

  // From the quit on, the rest of the wait leaves the queue to the thread's own loop.
  pc.SetTimer(window, 7, 10);
  pc.PostQuitMessage(3);
  timer.WaitMilliseconds(30);
  EXPECT_EQ(NowMs(), 35u);
  EXPECT_EQ(received.size(), 2u) << "no WM_TIMER was handled after the quit";
  os::Msg msg;
  ASSERT_TRUE(pc.PeekMessageA(&msg, os::kPM_REMOVE));
  EXPECT_EQ(msg.message, os::kWM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

// A counter that moves on by `step` ticks at every reading, as a real one does while the
// program reads it: only then does the cost of a measurement show.
class SteppingPc : public sim::SimPc {
 public:
  bool QueryPerformanceCounter(std::int64_t* count) override {
    const bool ok = SimPc::QueryPerformanceCounter(count);
    *count += m_Readings++ * step;
    return ok;
  }
  std::int64_t step = 0;

 private:
  std::int64_t m_Readings = 0;
};

class HiTimerOverheadTest : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override { os::Install(nullptr); }
  SteppingPc pc;
};

TEST_F(HiTimerOverheadTest, EveryIntervalIsMeasuredLessTheCostOfMeasuring) {
  // 100 us a reading at 10 MHz. The calibration spans four readings, so it finds 300 us.
  pc.step = 1000;
  platform::HiTimer timer;
  timer.Start();
  pc.Sleep(250);
  // From the start: 250 ms and one reading, less the 300 us.
  EXPECT_DOUBLE_EQ(double(timer.Elapsed()), 0.2498);
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.2498) << "up to the last reading";
  timer.Stop();
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.2499);

  // Each interval loses the overhead once, and one shorter than it counts as nothing.
  timer.Start();
  pc.Sleep(100);
  timer.Stop();
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.2499 + 0.0998);
  timer.Start();
  timer.Stop();
  EXPECT_DOUBLE_EQ(double(timer.Total()), 0.2499 + 0.0998);
}

TEST_F(HiTimerTest, WithoutAPerformanceCounterReadingsStayZeroButAWaitEnds) {
  pc.system.performanceCounter = false;
  pc.Sleep(4'294'967'290u);  // the tick count wraps during the wait
  platform::HiTimer timer;
  EXPECT_TRUE(timer.Unavailable());
  timer.Start();
  pc.Sleep(100);
  EXPECT_EQ(timer.Elapsed(), 0);
  timer.Stop();
  EXPECT_EQ(timer.Total(), 0);
  const std::uint64_t before = NowMs();
  timer.WaitMilliseconds(500);
  EXPECT_EQ(NowMs() - before, 500u);
  timer.WaitSeconds(1);
  EXPECT_EQ(NowMs() - before, 1500u);
}

}  // namespace
