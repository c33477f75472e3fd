#include "framework/conversions.h"

#include <gtest/gtest.h>

#include "framework/exceptions.h"
#include "framework/params.h"

namespace {

TEST(Conversions, IntegersAndTheirRefusals) {
  EXPECT_EQ(fw::StrToInt("0"), 0);
  EXPECT_EQ(fw::StrToInt("-17"), -17);
  EXPECT_EQ(fw::StrToInt("+3"), 3);
  EXPECT_EQ(fw::StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(fw::StrToInt("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "a", "1 ", " 1", "2147483648", "-", "0x1", "$1", "1.0"})
    EXPECT_THROW(fw::StrToInt(bad), fw::EConvertError) << '"' << bad << '"';
}

TEST(Conversions, BooleansTakeAnyNumberOrTheWords) {
  EXPECT_FALSE(fw::StrToBool("0"));
  EXPECT_TRUE(fw::StrToBool("1"));
  EXPECT_TRUE(fw::StrToBool("7"));
  EXPECT_TRUE(fw::StrToBool("true"));
  EXPECT_FALSE(fw::StrToBool("FALSE"));
  for (const char* bad : {"", " ", "Y", "#"}) EXPECT_THROW(fw::StrToBool(bad), fw::EConvertError);
  try {
    fw::StrToBool(" ");
  } catch (const fw::EConvertError& e) {
    EXPECT_STREQ(e.what(), "' ' is not a valid boolean value");
  }
}

TEST(Conversions, LeadingDigitsStopAtTheFirstOtherCharacterAndNeverWrap) {
  EXPECT_EQ(fw::LeadingDigitsToU64("0000525312"), 525312u);
  EXPECT_EQ(fw::LeadingDigitsToU64("12ab"), 12u);
  EXPECT_EQ(fw::LeadingDigitsToU64(""), 0u);
  EXPECT_EQ(fw::LeadingDigitsToU64(" 12"), 0u);
  EXPECT_EQ(fw::LeadingDigitsToU64("9999999999"), 9999999999u);  // past 32 bits, kept whole
  EXPECT_EQ(fw::LeadingDigitsToU64("99999999999999999999999"), UINT64_MAX);
}

TEST(Conversions, TrimTakesBlanksAndControlCharacters) {
  EXPECT_EQ(fw::Trim("  N/A     "), "N/A");
  EXPECT_EQ(fw::Trim("\t x \r\n"), "x");
  EXPECT_EQ(fw::Trim("   "), "");
}

struct SplitCase {
  const char* line;
  std::vector<std::string> args;
};

TEST(CommandLineSplit, FollowsTheWindowsRules) {
  const SplitCase cases[] = {
      {R"(travok.exe /S /VER)", {"travok.exe", "/S", "/VER"}},
      {R"("C:\Program Files\T\travok.exe" /s)", {R"(C:\Program Files\T\travok.exe)", "/s"}},
      {R"(t.exe "/T:\\?\scsi#disk&ven_x#1" x)", {"t.exe", R"(/T:\\?\scsi#disk&ven_x#1)", "x"}},
      {R"(t.exe   a	b  )", {"t.exe", "a", "b"}},
      {R"(t.exe a"b c"d)", {"t.exe", "ab cd"}},
      {R"(t.exe \"a\" \\"b c\\")", {"t.exe", "\"a\"", R"(\b c\)"}},
      {R"(t.exe a\\b "" "say ""hi""")", {"t.exe", R"(a\\b)", "", R"(say "hi")"}},
      {R"(t.exe /LOGFILE="C:\x y\log.txt")", {"t.exe", R"(/LOGFILE=C:\x y\log.txt)"}},
      {"", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(fw::SplitCommandLine(c.line), c.args) << c.line;
}

}  // namespace
