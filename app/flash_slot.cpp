#include "app/flash_slot.h"

#include "framework/conversions.h"

namespace app {
namespace {

// Characters `first` (counted from 1) on, at most `count` of them, trimmed.
std::string Chars(const std::string& text, std::size_t first, std::size_t count) {
  return first - 1 < text.size() ? fw::Trim(text.substr(first - 1, count)) : std::string();
}

}  // namespace

bool IsTTypeRevision(const std::string& revision) {
  const std::string two = Chars(revision, 4, 2);
  return Chars(revision, 4, 3) == "XKW" || two == "XK" || two == "PJ" || two == "QQ" ||
         two == "HF" || (revision.size() >= 6 && revision[5] == 'Z');
}

std::int32_t ChooseFlashSlot(const std::vector<std::string>& slotItems, const std::string& target,
                             std::int32_t previous) {
  if (slotItems.empty()) return previous;
  const std::string wanted = fw::Trim(target);
  std::int32_t slot = previous;
  if (IsTTypeRevision(wanted)) {
    slot = 1;
  } else {
    bool holding = false;
    std::string oldest;
    for (std::size_t i = 1; i < slotItems.size(); ++i) {
      const std::string revision = Chars(slotItems[i], 4, std::string::npos);
      if (revision == wanted || IsTTypeRevision(revision) || revision == "NA") {
        slot = std::int32_t(i);
        break;
      }
      if (!holding || revision < oldest) {
        holding = true;
        oldest = revision;
        slot = std::int32_t(i);
      }
    }
  }
  return slot < 1 || slot > kMaxFlashSlot ? 1 : slot;
}

}  // namespace app
