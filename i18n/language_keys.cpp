#include "i18n/language_keys.h"

#include <string_view>

const std::array<LanguageEntry, 12> kLanguages = {{
    {"cn", u"中文"},
    {"en", u"English"},
    {"jp", u"にほんご"},
    {"kr", u"한국어"},
    {"pl", u"Polsk"},
    {"de", u"Deutsch"},
    {"ru", u"Русский язык"},
    {"fr", u"Français"},
    {"nl", u"Nederlands"},
    {"pt", u"Português"},
    {"es", u"Español"},
    {"it", u"Italiano"},
}};

std::string LanguageSection(int languageNumber) {
    if (languageNumber < 1 || languageNumber > 12)
        return "en";
    return kLanguages[static_cast<std::size_t>(languageNumber - 1)].section;
}

const std::array<CaptionKey, 15> kCaptionKeys = {{
    {"Label_InternetUpgrade", "LabelInternetUpgrade", u"Internet Upgrade"},
    {"Label_Print", "LabelPrint", u"Print"},
    {"Label_DtcLookup", "LabelDtcLookup", u"DTC Lookup"},
    {"Label_CheckUpdate", "LabelCheckUpdate", u"Check Update"},
    {"Label_Upgrade", "LabelUpgrade", u"Upgrade"},
    {"Label_Step1Part1", "LabelStep1Part1",
     u"Step 1: Press and hold down the \"OK\" key on the Scan Tool"},
    {"Label_Step1Part2", "LabelStep1Part2", u"while plugging in the usb cable from the PC"},
    {"Label_Step2", "LabelStep2",
     u"Step 2: Verify that the Scan Tool's screen indicates \"Update Mode\""},
    {"Label_Step2Part2", "LabelStep2Part2", u""},
    {"Label_Step3", "LabelStep3", u"Step 3: Click \"Check Update\" to start the upgrade process"},
    {"Label_Step3Part2", "LabelStep3Part2", u""},
    {"Label_PrintPrint", "LabelPrintPrint", u"Print"},
    {"Label_Clear", "LabelClear", u"Clear"},
    {"Label_Copy", "LabelCopy", u"Copy"},
    {"Label_Edit", "LabelEdit", u"Edit"},
}};

const std::array<CaptionKey, 3> kDialogKeys = {{
    {"Label_Confirm", "ConfirmButton", u"Confirm"},
    {"Label_Cancel", "CancelButton", u"Cancel"},
    {"Label_LanguageSettings", "LanguageSettings", u"Language Settings"},
}};

const CaptionKey& CaptionKeyOf(const char* key) {
    for (const auto& entry : kCaptionKeys)
        if (std::string_view(entry.key) == key)
            return entry;
    for (const auto& entry : kDialogKeys)
        if (std::string_view(entry.key) == key)
            return entry;
    return kCaptionKeys.front();
}
