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

// The start-up errors before the scan share one caption.
inline constexpr LanguageText kErrorCaption{"\xBF\xF9\xBB~ ...",  // 錯誤 ...
                                            "Error ..."};
inline constexpr LanguageText kDeviceInitFailed{
    "\xAA\xEC\xA9l\xA4\xC6\xB8\xCB\xB8m\xAA\xAB\xA5\xF3\xA5\xA2\xB1\xD1 !",  // 初始化裝置物件失敗 !
    "Device object initialize failed !"};
inline constexpr LanguageText kAccessDenied{
    "\xA6s\xA8\xFA\xBE"
    "D\xA9\xDA ! "
    "\xB1z\xA5\xB2\xB6\xB7\xA8\xE3\xA6\xB3\xBA\xDE\xB2z\xAA\xCC\xC5v\xAD\xAD\xA4~\xAF\xE0"
    "\xA7\xF3\xB7sSSD\xB6\xB4\xC5\xE9",  // 存取遭拒 ! 您必須具有管理者權限才能更新SSD韌體
    "Access denied ! You must have administrator privilege to flash SSD."};

// No eligible drive. In Traditional Chinese the list follows whatever the package hides.
inline constexpr LanguageText kNoMatchedDrives{
    "\xA7\xE4\xA4\xA3\xA8\xEC\xB2\xC5\xA6X\xB1\xF8\xA5\xF3\xAA\xBASSD !\n",  // 找不到符合條件的SSD
                                                                             // !
    "No matched drives detected !\n"};
inline constexpr const char* kDetectedDrives = "Detected drives :\n";

inline constexpr const char* kStyle4Warning =
    "WARNING: THIS PROCESS WILL UPDATE THE FIRMWARE ON YOUR SSD.  THERE IS A RISK DURING FIRMWARE "
    "UPDATE PROCESS.  YOUR SSD MAY NOT FUNCTION PROPERLY IF THE FIRMWARE PROCESS IS INTERRUPTED "
    "FOR ANY REASON.  AS WE PROVIDES NO WARRANTY FOR THE DATA ON YOUR DRIVE, IT IS STRONGLY "
    "RECOMMENDED THAT YOU SHOULD BACKUP ALL IMPORTANT FILES IN ADVANCE. \n\nNOTE : Only Intel "
    "iRST version 14.8 and above is supported !";

// The notice before an update: the product model goes between its first two pieces, the third
// item only at notice level 2.
struct NoticeText {
  const char* supports;
  const char* model;
  const char* notice;
  const char* item1;
  const char* item2;
  const char* item3;
  const char* question;
};
inline constexpr NoticeText kNoticeBig5{
    "\xB3o\xAD\xD3\xB6\xB4\xC5\xE9\xA7\xF3\xB7s\xB5{\xA6\xA1\xA5u\xAF\xE0\xBE"
    "A\xA5\xCE\xA9\xF3 ",                              // 這個韌體更新程式只能適用於
    " \xB3o\xAD\xD3\xAB\xAC\xB8\xB9\xAA\xBASSD.\n\n",  // 這個型號的SSD.
    "\xAA`\xB7N : \n\n",                               // 注意 :
    "1> \xA6"
    "b\xB0\xF5\xA6\xE6\xB3o\xAD\xD3\xB6\xB4\xC5\xE9\xA7\xF3\xB7s\xB5{\xA6\xA1\xA4\xA7\xAB"
    "e\xBD\xD0\xA5\xFD\xC3\xF6\xB3\xAC\xA9\xD2\xA6\xB3\xAA\xBA\xC0\xB3\xA5\xCE\xB5{\xA6\xA1 "
    "!\n",  // 1> 在執行這個韌體更新程式之前請先關閉所有的應用程式 !
    "2> \xA6"
    "b\xB6\xB4\xC5\xE9\xA7\xF3\xB7s\xB9L\xB5{\xB7\xED\xA4\xA4\xBD\xD0\xA4\xC5\xC3\xF6\xB3\xAC"
    "\xB9q\xB7\xBD ! \n",  // 2> 在韌體更新過程當中請勿關閉電源 !
    // 3> 在韌體更新過程當中請勿拔除電源插頭以及電池 !
    "3> \xA6"
    "b\xB6\xB4\xC5\xE9\xA7\xF3\xB7s\xB9L\xB5{\xB7\xED\xA4\xA4\xBD\xD0\xA4\xC5\xA9\xDE\xB0\xA3"
    "\xB9q\xB7\xBD\xB4\xA1\xC0Y\xA5H\xA4\xCE\xB9q\xA6\xC0 ! \n",
    "\n\xB1z\xBDT\xA9w\xADn\xC4~\xC4\xF2\xB6\xDC ?"};  // 您確定要繼續嗎 ?
inline constexpr NoticeText kNoticeEnglish{
    "This flash utility only supports ",
    " SSD.\n\n",
    "NOTICE : \n\n",
    "1> Please close all applications before running this utility !\n",
    "2> Don't turn off the system while flash is in progress. \n",
    "3> Don't remove the adapter and battery during F/W reflash processing. \n",
    "\nDo you wish to continue ?"};

}  // namespace app
