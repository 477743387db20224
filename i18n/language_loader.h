#pragma once
// Loads the user's language from lang.ini once, while the main window is being built: the
// language number, the label captions, fonts and placements, and the StringTable.
#include "core/main_state.h"
#include "i18n/language_keys.h"
#include "i18n/language_view.h"

#include <string>
#include <vector>

// lang.ini of the running program: beside the executable, or the user's copy of an installed
// program (i18n/lang_ini_location.h).
std::string LangIniPath();

// The whole loading run.  Fills state.LanguageNumber, state.Texts and ProgressTexts and applies
// the captions, fonts and placements through `view`.  Creates lang.ini (BOM and one empty line)
// when it is missing.  Returns an empty text on success, or "Cannot create file <path>" when the
// file is missing and cannot be created; nothing is applied then and the caller ends start-up.
[[nodiscard]] std::string LoadLanguage(MainState& state, ILanguageView& view,
                                       const std::string& iniPath);

// Texts that other subsystems own, read like the StringTable's from the section of
// `languageNumber` in lang.ini: a key that is missing (or a file that cannot be read) gives the
// English default.
struct LanguageTextKey {
    const char* key;
    const char16_t* englishDefault;
};
std::vector<std::u16string> ReadLanguageTexts(const std::string& iniPath, int languageNumber,
                                              const std::vector<LanguageTextKey>& keys);

// The per-language adjustments that LoadLanguage applies; the last one is also called by the
// internet indicator each time it switches the state label.
void ApplyChineseFonts(ILanguageView& view, int languageNumber);
void SetLabelInternetUpgradePostion(ILanguageView& view, int languageNumber);
void SetLabelPrintPostion(ILanguageView& view, int languageNumber);
void PlaceCheckUpdateLabel(ILanguageView& view, int languageNumber);
void PlaceInternetStateLabel(ILanguageView& view, int languageNumber, bool connected);
