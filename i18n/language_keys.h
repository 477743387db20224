#pragma once
// The twelve languages and the lang.ini keys besides the StringTable's: the label captions of
// the main window and the texts of the language dialog, with their English defaults.
#include <array>
#include <string>

struct LanguageEntry {
    const char* section;  // lang.ini section
    const char16_t* name; // caption of the language's button, in the language itself
};
// Index n - 1 for language n = 1 ... 12.
extern const std::array<LanguageEntry, 12> kLanguages;

// The lang.ini section of a language number: "cn" for 1 ... "it" for 12, "en" for any other.
std::string LanguageSection(int languageNumber);

struct CaptionKey {
    const char* control;
    const char* key;
    const char16_t* englishDefault;
};
// Keys whose texts become captions of the main window's labels at once.
extern const std::array<CaptionKey, 15> kCaptionKeys;
// The language dialog's own texts.
extern const std::array<CaptionKey, 3> kDialogKeys;

// The entry of `key` in kCaptionKeys or kDialogKeys; the first caption entry for unknown keys.
const CaptionKey& CaptionKeyOf(const char* key);
