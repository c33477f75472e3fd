#include "app/progress_tick.h"

#include <algorithm>

namespace app {
namespace {

// The stage's verdict: true when the bar sits at its cap and only the timer goes on.
bool AtCap(TProgressTick& t) {
  int& p = t.position;
  switch (t.iUpdateState) {
    case 1:  // downloading
      if (p > 75) return true;
      if (p > 55)
        t.iProgressInterval = 1000;
      else if (p > 40)
        t.iProgressInterval = 500;
      return false;
    case 2:  // the download is done
      if (p > 85) return true;
      if (p > 60)
        t.iProgressInterval = 1000;
      else if (p > 40)
        t.iProgressInterval = 500;
      return false;
    case 3:  // the work after the download
      if (p > 90) return true;
      if (p > 80)
        t.iProgressInterval = 1000;
      else if (p > 60)
        t.iProgressInterval = 500;
      else if (t.clockSeconds > 10 && p < 80)
        p = 80;
      return false;
    case 4:  // reading the drive again
      if (p > 95) return true;
      if (p > 90)
        t.iProgressInterval = 1000;
      else if (t.clockSeconds > 8)
        t.iProgressInterval = 500;
      return false;
    case 5:  // finished: the bar ends a little after the update did
      if (t.clockSeconds > (t.bUpdaterMode ? 10 : 3)) p = 100;
      return false;
    default:
      return false;
  }
}

}  // namespace

void ProgressStep(TProgressTick& t) {
  if (AtCap(t)) return;
  t.position = std::min(t.position + 1, 100);
  t.finished = t.position == 100 && t.iUpdateState == 5;
}

}  // namespace app
