#include "app/flash_slot.h"

#include <gtest/gtest.h>

namespace {

TEST(FlashSlot, ChoosesTheSlotAsTheRevisionsInTheBoxSay) {
  struct Case {
    const char* name;
    std::vector<std::string> items;
    std::string target;
    int previous, slot;
  } cases[] = {
      {"an empty slot wins at once", {"Default", "1. NA", "2. AAAA0001"}, "N7FW0200", 0, 1},
      {"the slot holding the target", {"Default", "1. N7FW0100", "2. N7FW0200"}, "N7FW0200", 0, 2},
      {"the oldest revision; the first of equal ones",
       {"Default", "1. N7FW0300", "2. N7FW0100", "3. N7FW0100"},
       "N7FW0200",
       0,
       2},
      {"shorter is older on a common prefix",
       {"Default", "1. N7FW01", "2. N7FW0"},
       "N7FW0200",
       0,
       2},
      {"a T-type image in a slot is overwritten",
       {"Default", "1. N7FW0100", "2. ABCXKW00"},
       "N7FW0200",
       0,
       2},
      {"a T-type target goes to slot 1 unseen", {"Default", "1. NA", "2. NA"}, "ABCDEZ01", 0, 1},
      {"the XK family is T-type", {"Default", "1. N7FW0100", "2. NA"}, "N7FXK200", 0, 1},
      {"a choice past slot 7 becomes 1",
       {"Default", "1. N7FW0900", "2. N7FW0900", "3. N7FW0900", "4. N7FW0900", "5. N7FW0900",
        "6. N7FW0900", "7. N7FW0900", "8. N7FW0100"},
       "N7FW0200",
       0,
       1},
      {"only Default: slot 1", {"Default"}, "N7FW0200", 0, 1},
      {"an empty box keeps the slot", {}, "N7FW0200", 3, 3},
      {"an empty box before any choice keeps 0", {}, "N7FW0200", 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(app::ChooseFlashSlot(c.items, c.target, c.previous), c.slot) << c.name;
}

}  // namespace
