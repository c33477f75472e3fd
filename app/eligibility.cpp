#include "app/eligibility.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "framework/conversions.h"
#include "os/os.h"
#include "package/package_layout.h"

namespace app {
namespace {

// Model numbers compare as the user's locale does, letter case counting.
bool ModelEquals(const std::string& a, const std::string& b) {
  return os::Current().CompareStringA(a, b) == os::kCSTR_EQUAL;
}

bool IsEmptyGroupRow(const package::ConstraintRow& row) {
  return ModelEquals(row.START.substr(0, 4), "#FLS") && !row.CMODEL.empty() &&
         row.CMODEL[0] == '#' && !row.END.empty() && row.END[0] == '#';
}

// Revisions order by their byte codes; a prefix sorts first.
bool RowAdmits(const package::ConstraintRow& row, const std::string& model,
               const std::string& revision) {
  if (!row.CMODEL.empty() && !ModelEquals(model, row.CMODEL)) return false;
  if (!row.START.empty() && (revision.size() != row.START.size() || revision < row.START))
    return false;
  if (!row.END.empty() && revision > row.END) return false;
  return true;
}

// The first image group (0-based) that admits the drive, or -1.
int AdmittingGroup(const discovery::DevInfo& drive, const std::uint8_t* block,
                   const package::PackageConfig& config) {
  const std::string revision =
      fw::Trim(config.bUseFWExt ? fw::FieldText(drive.fwExt) : fw::FieldText(drive.firmware));
  const std::string model = drive.model[0] ? fw::Trim(fw::FieldText(drive.checkModel)) : "";
  const int groups = std::min<int>(config.iImageCount, package::kMaxImages);
  for (int group = 1; group <= groups; ++group) {
    for (int r = 1; r <= package::kRowsPerGroup; ++r) {
      const package::ConstraintRow row = package::ReadConstraintRow(block, group, r);
      if (r == 1 && IsEmptyGroupRow(row)) return group - 1;
      if (RowAdmits(row, model, revision)) return group - 1;
    }
  }
  return -1;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Characters a..b of `text`, counted from 1, as far as they exist.
std::string Chars(const std::string& text, std::size_t a, std::size_t b) {
  if (a > text.size()) return {};
  return text.substr(a - 1, std::min(b, text.size()) - (a - 1));
}

struct CapacityCode {
  std::string_view modelText;
  char code;
};

// The capacity the model names, by the first text found in it.
char CapacityCodeOf(std::string_view model, std::initializer_list<CapacityCode> codes) {
  for (const auto& c : codes)
    if (Contains(model, c.modelText)) return c.code;
  return 0;
}

std::string CapacityTarget(const std::string& target, const std::string& oldTrimmed,
                           const std::string& targetTrimmed, std::string_view model) {
  if (oldTrimmed.size() == 5 && targetTrimmed.size() == 5) {
    const char code = CapacityCodeOf(model, {{"128", '3'},
                                             {"256", '4'},
                                             {"512", '5'},
                                             {"960", '8'},
                                             {"1024", '6'},
                                             {"102", '6'},
                                             {"1T", '6'},
                                             {"2048", '7'},
                                             {"204", '7'},
                                             {"2T", '7'}});
    return code ? Chars(target, 1, 1) + code + Chars(target, 3, 5) : target;
  }
  const char code = CapacityCodeOf(model, {{"128", '7'},
                                           {"256", '8'},
                                           {"512", '9'},
                                           {"960", 'W'},
                                           {"1024", 'A'},
                                           {"102", 'A'},
                                           {"1T", 'A'}});
  return code ? Chars(target, 1, 2) + code + Chars(target, 4, 8) : target;
}

}  // namespace

void ChkConstraint(std::span<discovery::DevInfo> drives, const std::uint8_t* block,
                   const package::PackageConfig& config) {
  for (discovery::DevInfo& drive : drives) {
    drive.bEligible = false;
    if (!drive.bExisted || discovery::FoundByRstePass(drive)) continue;
    const int group = AdmittingGroup(drive, block, config);
    if (group < 0) continue;
    drive.bEligible = true;
    drive.imageIndex = std::uint16_t(group);
  }
}

TargetRevisions ChkO2N(const discovery::DevInfo& drive, const std::uint8_t* block,
                       const package::PackageConfig& config) {
  const int image = drive.imageIndex + 1;
  const std::string old = fw::FieldText(drive.firmware);
  std::string target = config.bUseFWExt ? package::TargetExtendedIdField(block, image)
                                        : package::TargetRevisionField(block, image);
  const std::string model = fw::FieldText(drive.model);
  const std::string oldTrimmed = fw::Trim(old), targetTrimmed = fw::Trim(target);

  if (drive.bIsNvme && oldTrimmed.size() >= 5 && targetTrimmed.size() >= 5 &&
      !Contains(target, "ZKWFW") && Contains(target, "$")) {
    target = CapacityTarget(target, oldTrimmed, targetTrimmed, model);
  } else if (oldTrimmed.size() >= 5 && targetTrimmed.size() >= 5 &&
             old.compare(0, 2, target, 0, 2) == 0) {
    // The third character belongs to the drive, not to the image: keep the drive's.
    target = Chars(target, 1, 2) + old[2] + Chars(target, 4, 8);
  }
  return {drive.bIsNvme ? target : package::TargetRevisionField(block, image), target};
}

bool IsAlreadyLatest(const discovery::DevInfo& drive, const std::string& shownTarget,
                     const std::uint8_t* block, const package::PackageConfig& config) {
  int c;
  if (!config.bUseFWExt) {
    const int image = drive.imageIndex + 1;
    const std::string target =
        fw::Trim(drive.bIsNvme ? shownTarget : package::TargetRevisionField(block, image));
    // Only as many bytes as the target has: a longer drive revision with the target as its
    // prefix counts as equal.
    const std::size_t n = std::min(target.size(), sizeof drive.firmware);
    c = std::memcmp(drive.firmware, target.data(), n);
  } else {
    char targetField[8] = {};
    const std::string ext = package::TargetExtendedIdField(block, drive.imageIndex + 1);
    std::memcpy(targetField, ext.data(), std::min(ext.size(), sizeof targetField));
    c = std::memcmp(drive.fwExt, targetField, sizeof targetField);
  }
  return (config.bNFlash && c == 0) || (!config.bFOld && c > 0);
}

bool NeedsRstDriverForNvme(const discovery::DevInfo& drive, std::uint32_t versionCode) {
  return drive.bIsNvme && !drive.bIsNVMe_IrstDriver && versionCode <= 0x10000000;
}

}  // namespace app
