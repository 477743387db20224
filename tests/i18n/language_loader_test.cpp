#include "i18n/language_loader.h"

#include "i18n/fonts.h"
#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::Utf16File;
using testutil::WriteFile;

namespace {

// Records what the loader does to the window's labels.
class RecordingView : public ILanguageView {
public:
    struct Place {
        int top, left;
        bool operator==(const Place&) const = default;
    };
    void SetCaption(const std::string& control, const std::u16string& text) override {
        captions[control] = text;
        trace.push_back("caption " + control);
    }
    void SetFontFace(const std::string& control, const std::string& face) override {
        faces[control] = face;
        trace.push_back("face " + control);
    }
    void SetFontPointSize(const std::string& control, int points) override {
        sizes[control] = points;
        trace.push_back("size " + control);
    }
    void SetFontColor(const std::string& control, int r, int g, int b) override {
        colors[control] = {r, g, b};
        trace.push_back("color " + control);
    }
    void MoveTo(const std::string& control, int top, int left) override {
        places[control] = {top, left};
        trace.push_back("move " + control);
    }
    std::optional<Place> PlaceOf(const std::string& control) const {
        auto it = places.find(control);
        return it == places.end() ? std::nullopt : std::optional<Place>(it->second);
    }

    std::map<std::string, std::u16string> captions;
    std::map<std::string, std::string> faces;
    std::map<std::string, int> sizes;
    std::map<std::string, std::array<int, 3>> colors;
    std::map<std::string, Place> places;
    std::vector<std::string> trace;
};

// A small lang.ini: a few keys in four sections, `val` as given.
std::string LangIni(const std::u16string& val) {
    return Utf16File(
        u"[set]\r\nval=" + val +
        u"\r\n"
        u"[cn]\r\nLabelPrint=打印\r\nLabelStatus=请将设备连接到电脑\r\nMsgError8=烧录ROM失败！"
        u"\r\nMsgInfo12=正在查找资源\r\n"
        u"[de]\r\nLabelPrint=Drucken\r\nLabelPrintPrint=\r\n"
        u"[ru]\r\nLabelPrint=Печать\r\n"
        u"[it]\r\nLabelPrint=Stampa\r\nLabelInternetDisconnected=Internet scollegato\r\n");
}

struct Loaded {
    MainState state;
    RecordingView view;
    std::string error;
};

void Load(Loaded& out, const ScratchDir& dir, const std::u16string* val) {
    const std::string path = dir.File("lang.ini");
    if (val)
        WriteFile(path, LangIni(*val));
    out.error = LoadLanguage(out.state, out.view, path);
}

TEST(LoadLanguage, MissingFileIsCreatedAndEverythingIsEnglish) {
    ScratchDir dir;
    Loaded l;
    Load(l, dir, nullptr);
    ASSERT_EQ(l.error, "");
    EXPECT_EQ(ReadFile(dir.File("lang.ini")), std::string("\xFF\xFE\x0D\x00\x0A\x00", 6));
    EXPECT_EQ(l.state.LanguageNumber, 2);
    EXPECT_EQ(l.view.captions["Label_Status"], u"Please connect the device to the computer");
    EXPECT_EQ(l.view.captions["Label_InternetConnected"], u"Internet Disconnected");
    EXPECT_EQ(l.view.captions["Label_Step2Part2"], u"");
    EXPECT_EQ(l.view.captions["Label_DtcLookup"], u"DTC Lookup");
    EXPECT_EQ(l.view.captions.size(), 17u);
    const StringTable english = EnglishStringTable();
    for (const auto& entry : kWindowTextKeys)
        EXPECT_EQ(l.state.Texts.*entry.field, english.*entry.field) << entry.key;
    for (int n = 1; n <= kProgressTextCount; ++n)
        EXPECT_EQ(ProgressTexts[n], kProgressTextDefaults[n]) << n;
}

TEST(LoadLanguage, MissingFileThatCannotBeCreatedStopsTheRun) {
    ScratchDir dir;
    Loaded l;
    const std::string path = dir.File("no-such-folder/lang.ini");
    l.error = LoadLanguage(l.state, l.view, path);
    EXPECT_EQ(l.error, "Cannot create file " + path);
    EXPECT_TRUE(l.view.trace.empty());
}

TEST(LoadLanguage, NumberChoosesSectionFontsAndPlaces) {
    using P = RecordingView::Place;
    const struct {
        std::u16string val;
        int number;
        std::u16string print; // caption of Label_Print
        std::optional<P> internetUpgrade, printPlace, checkUpdate, stateLabel;
    } cases[] = {
        {u"1", 1, u"打印", P{105, 120}, P{105, 450}, P{443, 433}, P{600, 660}},
        {u"6", 6, u"Drucken", std::nullopt, std::nullopt, P{427, 430}, P{595, 620}},
        {u"7", 7, u"Печать", P{90, 110}, P{100, 440}, P{427, 430}, P{582, 620}},
        {u"0x0C", 12, u"Stampa", P{90, 110}, P{100, 440}, P{427, 415}, P{595, 620}},
        {u"13", 13, u"Print", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {u"abc", 2, u"Print", P{100, 110}, P{100, 440}, P{440, 420}, P{582, 648}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.val.begin(), c.val.end()));
        ScratchDir dir;
        Loaded l;
        Load(l, dir, &c.val);
        ASSERT_EQ(l.error, "");
        EXPECT_EQ(l.state.LanguageNumber, c.number);
        EXPECT_EQ(l.view.captions["Label_Print"], c.print);
        EXPECT_EQ(l.view.PlaceOf("Label_InternetUpgrade"), c.internetUpgrade);
        EXPECT_EQ(l.view.PlaceOf("Label_Print"), c.printPlace);
        EXPECT_EQ(l.view.PlaceOf("Label_CheckUpdate"), c.checkUpdate);
        EXPECT_EQ(l.view.PlaceOf("Label_InternetConnected"), c.stateLabel);
        // Only Chinese changes faces (sixteen labels and the third tab's caption), only Russian
        // the step labels' size.
        EXPECT_EQ(l.view.faces.size(), c.number == 1 ? 17u : 0u);
        for (const auto& [control, face] : l.view.faces)
            EXPECT_EQ(face, kFaceSongTi) << control;
        EXPECT_EQ(l.view.sizes.size(), c.number == 7 ? 6u : 0u);
        for (const auto& [control, size] : l.view.sizes)
            EXPECT_EQ(size, 12) << control;
        // Colours do not depend on the language.
        EXPECT_EQ(l.view.colors["Label_CheckUpdate"], (std::array{0, 91, 34}));
        for (const char* label : {"Label_PrintPrint", "Label_Clear", "Label_Copy", "Label_Edit"})
            EXPECT_EQ(l.view.colors[label], (std::array{28, 102, 183})) << label;
    }
}

TEST(LoadLanguage, TextsComeFromTheSectionWithDefaultsForMissingKeys) {
    ScratchDir dir;
    Loaded l;
    const std::u16string chinese = u"1";
    Load(l, dir, &chinese);
    EXPECT_EQ(l.state.Texts.LabelStatus, u"请将设备连接到电脑");
    EXPECT_EQ(l.view.captions["Label_Status"], u"请将设备连接到电脑");
    EXPECT_EQ(l.state.Texts.MsgError8, u"烧录ROM失败！");
    EXPECT_EQ(l.state.Texts.MsgError9, u"Burn FLASH fail!");
    EXPECT_EQ(ProgressTexts[1], u"正在查找资源");
    EXPECT_EQ(ProgressTexts[2], u"Connecting to");
    EXPECT_EQ(l.view.captions["Label_Clear"], u"Clear");
}

TEST(LoadLanguage, PresentEmptyKeyGivesAnEmptyCaption) {
    ScratchDir dir;
    Loaded l;
    const std::u16string german = u"6";
    Load(l, dir, &german);
    ASSERT_TRUE(l.view.captions.count("Label_PrintPrint"));
    EXPECT_EQ(l.view.captions["Label_PrintPrint"], u"");
}

TEST(LoadLanguage, AppliesCaptionsFontsAndPlacesInItsOrder) {
    ScratchDir dir;
    Loaded l;
    const std::u16string russian = u"7";
    Load(l, dir, &russian);
    const std::vector<std::string> expected = {
        "caption Label_Status",
        "caption Label_InternetUpgrade",
        "move Label_InternetUpgrade",
        "caption Label_Print",
        "move Label_Print",
        "caption Label_DtcLookup",
        "caption Label_CheckUpdate",
        "color Label_CheckUpdate",
        "move Label_CheckUpdate",
        "caption Label_InternetConnected",
        "move Label_InternetConnected",
        "caption Label_Upgrade",
        "caption Label_Step1Part1",
        "size Label_Step1Part1",
        "size Label_Step1Part2",
        "size Label_Step2",
        "size Label_Step2Part2",
        "size Label_Step3",
        "size Label_Step3Part2",
        "caption Label_Step1Part2",
        "caption Label_Step2",
        "caption Label_Step2Part2",
        "caption Label_Step3",
        "caption Label_Step3Part2",
        "caption Label_PrintPrint",
        "color Label_PrintPrint",
        "caption Label_Clear",
        "color Label_Clear",
        "caption Label_Copy",
        "color Label_Copy",
        "caption Label_Edit",
        "color Label_Edit",
    };
    EXPECT_EQ(l.view.trace, expected);
}

TEST(PlaceInternetStateLabel, FollowsTheStateItIsAboutToShow) {
    const struct {
        int number;
        bool connected;
        std::optional<RecordingView::Place> place;
    } cases[] = {
        {2, true, RecordingView::Place{582, 660}},
        {2, false, RecordingView::Place{582, 648}},
        {4, true, RecordingView::Place{595, 650}},
        {4, false, RecordingView::Place{595, 630}},
        {7, true, RecordingView::Place{582, 620}},
        {0, true, std::nullopt},
        {-5, false, std::nullopt},
    };
    for (const auto& c : cases) {
        RecordingView view;
        PlaceInternetStateLabel(view, c.number, c.connected);
        EXPECT_EQ(view.PlaceOf("Label_InternetConnected"), c.place)
            << c.number << " " << c.connected;
    }
}

TEST(ResolveFontFace, LayoutFacesGetInstalledStandIns) {
    EXPECT_EQ(ResolveFontFace(kFaceYaHei), kFallbackSansFace);
    EXPECT_EQ(ResolveFontFace(kFaceSongTi), kFallbackSerifFace);
    EXPECT_EQ(ResolveFontFace("\xCB\xCE\xCC\xE5"), kFallbackSerifFace); // GBK bytes
    EXPECT_EQ(ResolveFontFace("DejaVu Sans"), "DejaVu Sans");
}

} // namespace
