#include "app/progress_tick.h"

#include <gtest/gtest.h>

namespace {

using app::TProgressTick;

TEST(ProgressTick, EachStageCreepsToItsCapAndSlowsDownOnTheWay) {
  struct Case {
    const char* name;
    int state, position;
    double seconds;
    bool updater;
    int positionAfter;
    std::uint32_t interval;
    bool finished;
  } cases[] = {
      {"downloading at 41: every 500 ms", 1, 41, 0, false, 42, 500, false},
      {"downloading at 56: every second", 1, 56, 0, false, 57, 1000, false},
      {"downloading at 76: held", 1, 76, 0, false, 76, 100, false},
      {"downloaded at 61", 2, 61, 0, false, 62, 1000, false},
      {"downloaded at 86: held", 2, 86, 0, false, 86, 100, false},
      {"after-flash work late: jumps to 80", 3, 50, 10.5, false, 81, 100, false},
      {"after-flash work early: creeps", 3, 50, 9.5, false, 51, 100, false},
      {"reading the drive after 8 s", 4, 70, 8.5, false, 71, 500, false},
      {"reading the drive at 96: held", 4, 96, 20, false, 96, 100, false},
      {"finished, 3 s gone: full", 5, 60, 3.5, false, 100, 100, true},
      {"finished, not yet 3 s", 5, 60, 2.5, false, 61, 100, false},
      {"finished in updater mode waits 10 s", 5, 60, 5, true, 61, 100, false},
      {"finished in updater mode after 10 s", 5, 60, 10.5, true, 100, 100, true},
      {"idle: creeps", 0, 99, 0, false, 100, 100, false},
  };
  for (const Case& c : cases) {
    TProgressTick tick{.iUpdateState = c.state,
                       .bUpdaterMode = c.updater,
                       .clockSeconds = c.seconds,
                       .position = c.position};
    app::ProgressStep(tick);
    EXPECT_EQ(tick.position, c.positionAfter) << c.name;
    EXPECT_EQ(tick.iProgressInterval, c.interval) << c.name;
    EXPECT_EQ(tick.finished, c.finished) << c.name;
  }
}

}  // namespace
