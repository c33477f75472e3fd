// One tick of the update's progress bar. The bar shows the stage of the update, not the bytes
// moved: it creeps towards a cap for each stage, slowing down as it nears it, so that a long
// download never sits at the end of the bar, and jumps to the end a few seconds after the
// update finished.
#pragma once

#include <cstdint>

namespace app {

struct TProgressTick {
  std::int32_t iUpdateState = 0;
  bool bUpdaterMode = false;
  double clockSeconds = 0;  // on the progress clock, restarted when the download started
  int position = 0;         // the bar, 0..100; advanced by the tick
  std::uint32_t iProgressInterval = 100;  // the next tick's interval; may grow
  bool finished = false;                  // the bar reached 100 in the last stage: the timer stops
};

// Advances `tick` by one step: the stage's cap and interval, then one percent.
void ProgressStep(TProgressTick& tick);

}  // namespace app
