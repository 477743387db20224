#pragma once
// The localized texts that other parts show later: 41 window texts held by the main window and
// 33 download-status texts held process-wide.  Each is read from lang.ini with an English default.
#include <array>
#include <string>

struct StringTable {
    std::u16string LabelStatus;
    std::u16string LabelStatus1;
    std::u16string LabelStatus1Part2;
    std::u16string LabelStatus2;
    std::u16string LabelStatus2Part2;
    std::u16string MsgError8;
    std::u16string MsgError9;
    std::u16string MsgError10;
    std::u16string MsgError11;
    std::u16string MsgError12;
    std::u16string MsgError13;
    std::u16string MsgError14;
    std::u16string MsgError15;
    std::u16string MsgError16;
    std::u16string MsgError17;
    std::u16string MsgError18;
    std::u16string MsgError19;
    std::u16string MsgError20;
    std::u16string MsgError21;
    std::u16string MsgError22;
    std::u16string MsgError23;
    std::u16string MsgError24;
    std::u16string MsgError25;
    std::u16string MsgError26;
    std::u16string MsgError27;
    std::u16string MsgError28;
    std::u16string MsgError29;
    std::u16string MsgError30;
    std::u16string MsgInfo1;
    std::u16string MsgInfo2;
    std::u16string MsgInfo3;
    std::u16string MsgInfo4;
    std::u16string MsgInfo5;
    std::u16string MsgInfo6;
    std::u16string MsgInfo7;
    std::u16string MsgInfo8;
    std::u16string MsgInfo9;
    std::u16string MsgInfo10;
    std::u16string MsgInfo11;
    std::u16string LabelInternetConnected;
    std::u16string LabelInternetDisconnected;
};

// Key and English default of each window text, in the order in which they are read.
struct StringTableKey {
    const char* key;
    const char16_t* englishDefault;
    std::u16string StringTable::*field;
};
extern const std::array<StringTableKey, 41> kWindowTextKeys;

// Download-status texts, indexed by status code n = 1..33 (index 0 unused); key "MsgInfo<n+11>".
inline constexpr int kProgressTextCount = 33;
extern std::array<std::u16string, kProgressTextCount + 1> ProgressTexts;
extern const std::array<const char16_t*, kProgressTextCount + 1> kProgressTextDefaults;

// A StringTable holding the English defaults.
StringTable EnglishStringTable();
