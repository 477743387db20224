#include "i18n/language_loader.h"

#include "i18n/fonts.h"
#include "i18n/lang_ini_location.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

#include <array>
#include <optional>
#include <utility>

namespace {

// (top, left) for one language, or nothing where the label keeps its layout position.
using Place = std::optional<std::pair<int, int>>;

Place InternetUpgradePlace(int n) {
    switch (n) {
    case 1:
        return std::pair{105, 120};
    case 2:
    case 4:
        return std::pair{100, 110};
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 11:
    case 12:
        return std::pair{90, 110};
    default:
        return std::nullopt;
    }
}

Place PrintPlace(int n) {
    switch (n) {
    case 1:
        return std::pair{105, 450};
    case 3:
        return std::pair{100, 450};
    case 2:
    case 4:
    case 5:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
        return std::pair{100, 440};
    default:
        return std::nullopt;
    }
}

Place CheckUpdatePlace(int n) {
    switch (n) {
    case 1:
        return std::pair{443, 433};
    case 2:
        return std::pair{440, 420};
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
        return std::pair{427, 430};
    case 12:
        return std::pair{427, 415};
    default:
        return std::nullopt;
    }
}

struct StatePlaces {
    int connectedTop, connectedLeft, disconnectedTop, disconnectedLeft;
};
// Languages 1..12.
constexpr std::array<StatePlaces, 12> kInternetStatePlaces = {{
    {600, 660, 600, 660},
    {582, 660, 582, 648},
    {595, 620, 595, 620},
    {595, 650, 595, 630},
    {582, 660, 595, 620},
    {582, 660, 595, 620},
    {582, 620, 582, 620},
    {582, 660, 582, 648},
    {595, 620, 595, 620},
    {582, 660, 595, 620},
    {582, 660, 582, 648},
    {582, 660, 595, 620},
}};

void MoveIfPlaced(ILanguageView& view, const char* control, const Place& place) {
    if (place)
        view.MoveTo(control, place->first, place->second);
}

constexpr std::array<const char*, 17> kChineseFontLabels = {
    "Label_Upgrade",         "Label_Step1Part1",  "Label_Step1Part2",
    "Label_Step2",           "Label_Step2Part2",  "Label_Step3",
    "Label_Step3Part2",      "Label_CheckUpdate", "Label_InternetConnected",
    "Label_InternetUpgrade", "Label_Print",       "Label_PrintPrint",
    "Label_Clear",           "Label_Copy",        "Label_Edit",
    "Label_Status",          "Label_DtcLookup"};

constexpr std::array<const char*, 6> kStepLabels = {"Label_Step1Part1", "Label_Step1Part2",
                                                    "Label_Step2",      "Label_Step2Part2",
                                                    "Label_Step3",      "Label_Step3Part2"};

const StringTableKey& WindowTextKey(const char* key) {
    for (const auto& entry : kWindowTextKeys)
        if (std::string_view(entry.key) == key)
            return entry;
    return kWindowTextKeys.front(); // unreachable: every caller names a listed key
}

} // namespace

std::string LangIniPath() {
    return LangIniPathFor(platform::ExecutablePath());
}

std::vector<std::u16string> ReadLanguageTexts(const std::string& iniPath, int languageNumber,
                                              const std::vector<LanguageTextKey>& keys) {
    IniFile ini;
    ini.Open(iniPath, nullptr); // a file that cannot be read gives the defaults
    const std::string section = LanguageSection(languageNumber);
    std::vector<std::u16string> texts;
    for (const LanguageTextKey& entry : keys)
        texts.push_back(ini.ReadString(section, entry.key, entry.englishDefault));
    return texts;
}

void ApplyChineseFonts(ILanguageView& view, int languageNumber) {
    if (languageNumber != 1)
        return;
    for (const char* label : kChineseFontLabels)
        view.SetFontFace(label, kFaceSongTi);
}

void SetLabelInternetUpgradePostion(ILanguageView& view, int languageNumber) {
    MoveIfPlaced(view, "Label_InternetUpgrade", InternetUpgradePlace(languageNumber));
}

void SetLabelPrintPostion(ILanguageView& view, int languageNumber) {
    MoveIfPlaced(view, "Label_Print", PrintPlace(languageNumber));
}

void PlaceCheckUpdateLabel(ILanguageView& view, int languageNumber) {
    view.SetFontColor("Label_CheckUpdate", 0, 91, 34);
    MoveIfPlaced(view, "Label_CheckUpdate", CheckUpdatePlace(languageNumber));
}

void PlaceInternetStateLabel(ILanguageView& view, int languageNumber, bool connected) {
    if (languageNumber < 1 || languageNumber > 12)
        return;
    const StatePlaces& p = kInternetStatePlaces[static_cast<std::size_t>(languageNumber - 1)];
    if (connected)
        view.MoveTo("Label_InternetConnected", p.connectedTop, p.connectedLeft);
    else
        view.MoveTo("Label_InternetConnected", p.disconnectedTop, p.disconnectedLeft);
}

std::string LoadLanguage(MainState& state, ILanguageView& view, const std::string& iniPath) {
    IniFile ini;
    std::string error;
    if (!ini.Open(iniPath, &error))
        return error;

    state.LanguageNumber = ini.ReadInteger("set", "val", 2);
    const int n = state.LanguageNumber;
    const std::string section = LanguageSection(n);
    auto read = [&](const char* key, const char16_t* englishDefault) {
        return ini.ReadString(section, key, englishDefault);
    };
    auto readText = [&](const char* key) -> const std::u16string& {
        const StringTableKey& entry = WindowTextKey(key);
        return state.Texts.*entry.field = read(entry.key, entry.englishDefault);
    };
    auto caption = [&](const char* key) {
        const CaptionKey& entry = CaptionKeyOf(key);
        view.SetCaption(entry.control, read(entry.key, entry.englishDefault));
    };

    ApplyChineseFonts(view, n);

    view.SetCaption("Label_Status", readText("LabelStatus"));
    for (const char* key :
         {"LabelStatus1", "LabelStatus1Part2", "LabelStatus2", "LabelStatus2Part2"})
        readText(key);

    caption("LabelInternetUpgrade");
    SetLabelInternetUpgradePostion(view, n);
    caption("LabelPrint");
    SetLabelPrintPostion(view, n);
    caption("LabelDtcLookup");
    caption("LabelCheckUpdate");
    PlaceCheckUpdateLabel(view, n);

    readText("LabelInternetConnected");
    view.SetCaption("Label_InternetConnected", readText("LabelInternetDisconnected"));
    PlaceInternetStateLabel(view, n, false);

    caption("LabelUpgrade");
    caption("LabelStep1Part1");
    if (n == 7) {
        // The Russian steps are too long for the layout's 20-pixel font.
        for (const char* label : kStepLabels)
            view.SetFontPointSize(label, 12);
    }
    caption("LabelStep1Part2");
    caption("LabelStep2");
    caption("LabelStep2Part2");
    caption("LabelStep3");
    caption("LabelStep3Part2");

    for (const char* key : {"LabelPrintPrint", "LabelClear", "LabelCopy", "LabelEdit"}) {
        caption(key);
        view.SetFontColor(CaptionKeyOf(key).control, 28, 102, 183);
    }

    // MsgError8 ... MsgError30 and MsgInfo1 ... MsgInfo11: window texts 6 to 39.
    for (std::size_t i = 5; i < 39; ++i)
        readText(kWindowTextKeys[i].key);

    for (int code = 1; code <= kProgressTextCount; ++code) {
        const std::string key = "MsgInfo" + std::to_string(code + 11);
        ProgressTexts[static_cast<std::size_t>(code)] =
            read(key.c_str(), kProgressTextDefaults[static_cast<std::size_t>(code)]);
    }
    return {};
}
