// The texts of the window and of the start-up messages in both languages. The Traditional
// Chinese texts are stored in the Big5 code page, as the window shows them; each carries its
// text beside it.
#pragma once

#include <string>

namespace app {

struct LanguageText {
  const char* big5;
  const char* english;
};

// The text for the package language: 1 selects Traditional Chinese, any other value English.
inline std::string Text(const LanguageText& text, int language) {
  return language == 1 ? text.big5 : text.english;
}

inline constexpr LanguageText kLabel1{
    "\xBD\xD0\xBF\xEF\xBE\xDC\xB1z\xADn\xA7\xF3\xB7s\xAA\xBASSD",  // 請選擇您要更新的SSD
    "Please select target device"};
inline constexpr LanguageText kUpdateMsg{
    "SDD\xB6\xB4\xC5\xE9\xB1N\xB3Q\xA7\xF3\xB7s , \xB1q",  // SDD韌體將被更新 , 從
    "it will be updated from"};
inline constexpr LanguageText kTo{"\xA8\xEC",  // 到
                                  "To"};
inline constexpr LanguageText kMsg{
    "\xAA\xAC\xBA"
    "A\xB0T\xAE\xA7",  // 狀態訊息
    "Message"};
inline constexpr LanguageText kUpdate{"\xA7\xF3\xB7s",  // 更新
                                      "Update"};
inline constexpr LanguageText kClose{"\xC3\xF6\xB3\xAC",  // 關閉
                                     "Close"};
// The update line of the selected drive.
inline constexpr LanguageText kUpdateFrom{
    "\xB8\xCB\xB8m\xAA\xBA\xB6\xB4\xC5\xE9\xB1N\xB3Q"
    "\xA7\xF3\xB7s , \xB1q",  // 裝置的韌體將被更新 , 從
    "It will be updated from"};
// The second byte of 許 is a backslash.
inline constexpr LanguageText kNotAllowed{
    "\xB1z\xA9\xD2\xBF\xEF\xBE\xDC\xB3o\xA5x\xB8\xCB\xB8m\xA8\xC3\xA4\xA3\xA4\xB9"
    "\xB3\\\xB3Q\xA7\xF3\xB7s\xB6\xB4\xC5\xE9 !",  // 您所選擇這台裝置並不允許被更新韌體 !
    "This drive is not allowed to be updated."};
inline constexpr LanguageText kNoFirmware{
    "\xB0\xF5\xA6\xE6\xC0\xC9\xA8\xC3\xB5L\xB6\xB4\xC5\xE9\xC0\xC9\xAE\xD7\xA6s\xA6"
    "b !",  // 執行檔並無韌體檔案存在 !
    "No F/W in executable !"};

}  // namespace app
