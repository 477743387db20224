// Every translation of the shipped lang.ini fits the label that shows it, measured with the
// installed faces that stand in for the layout's fonts.  English is the program's own text and
// is left as it stands.
#include "i18n/fonts.h"
#include "i18n/language_keys.h"
#include "i18n/ui/font_substitutions.h"
#include "platform/ini_file.h"
#include "tests/i18n/ini_test_util.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

struct LabelBox {
    const char* key;
    int width;
    int pixelSize;
};

// Fixed-size labels of the main window and the dialog, at the layout's font heights.
constexpr LabelBox kBoxes[] = {
    {"LabelPrint", 220, 20},
    {"LabelDtcLookup", 212, 20},
    {"LabelCheckUpdate", 133, 20},
    {"LabelStep1Part1", 816, 20},
    {"LabelStep2", 816, 20},
    {"LabelStep3", 816, 20},
    {"LabelStep1Part2", 728, 20},
    {"LabelStep2Part2", 728, 20},
    {"LabelStep3Part2", 728, 20},
    {"LabelPrintPrint", 57, 16},
    {"LabelClear", 49, 16},
    {"LabelCopy", 57, 16},
    {"LabelEdit", 49, 16},
    {"LabelInternetConnected", 182, 20},
    {"LabelInternetDisconnected", 182, 20},
    {"LabelStatus", 856, 17},
    {"ConfirmButton", 150, 17},
    {"CancelButton", 150, 17},
    {"LanguageSettings", 417, 27},
};

QFont FontFor(int language, const std::string& key, int pixelSize) {
    // Chinese main-window labels and the Chinese dialog title use the serif face.
    const bool serif = language == 1 && key != "ConfirmButton" && key != "CancelButton";
    QFont font(QString::fromStdString(ResolveFontFace(serif ? kFaceSongTi : kFaceYaHei)));
    // Russian step labels are drawn at 12 points, 16 pixels on a 96 dpi screen.
    if (language == 7 && key.starts_with("LabelStep"))
        pixelSize = 16;
    font.setPixelSize(pixelSize);
    return font;
}

class LangFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFont probe(kFallbackSansFace);
        if (QFontInfo(probe).family() != kFallbackSansFace)
            GTEST_SKIP() << kFallbackSansFace << " is not installed";
        ini.Load(testutil::ReadFile(QUILLON_SOURCE_DIR "/i18n/lang.ini"));
    }
    QString Text(int language, const char* key) const {
        return QString::fromStdU16String(
            ini.ReadString(kLanguages[language - 1].section, key, u""));
    }
    bool IsEnglishDefault(const QString& text, const char* key) const {
        return text == Text(2, key);
    }
    IniFile ini;
};

TEST_F(LangFitTest, TextsFitTheirLabels) {
    for (int language = 1; language <= 12; ++language) {
        for (const LabelBox& box : kBoxes) {
            const QString text = Text(language, box.key);
            if (IsEnglishDefault(text, box.key))
                continue;
            const int width =
                QFontMetrics(FontFor(language, box.key, box.pixelSize)).horizontalAdvance(text);
            EXPECT_LE(width, box.width) << kLanguages[language - 1].section << " " << box.key
                                        << " \"" << text.toStdString() << "\"";
        }
    }
}

// The first tab's caption wraps within 164 pixels; the languages that the placement table lifts
// to top 90 are exactly those whose caption takes two lines.
TEST_F(LangFitTest, FirstTabCaptionTakesTheLinesItsPlacementExpects) {
    for (int language = 1; language <= 12; ++language) {
        const QString text = Text(language, "LabelInternetUpgrade");
        const QFontMetrics metrics(FontFor(language, "LabelInternetUpgrade", 20));
        const QRect box = metrics.boundingRect(QRect(0, 0, 164, 1000), Qt::TextWordWrap, text);
        const int lines = box.height() / metrics.lineSpacing();
        const bool twoLines =
            language == 3 || language == 5 || language == 7 || language == 8 || language >= 10;
        EXPECT_EQ(lines, twoLines ? 2 : 1)
            << kLanguages[language - 1].section << " \"" << text.toStdString() << "\"";
        EXPECT_LE(box.width(), 164) << kLanguages[language - 1].section;
    }
}

TEST(FontSubstitutions, LayoutFacesReachTheInstalledStandIns) {
    RegisterFontSubstitutions();
    // Qt keeps substitutes in lower case.
    EXPECT_EQ(QFont::substitute(QString::fromUtf8(kFaceYaHei)),
              QString(kFallbackSansFace).toLower());
    EXPECT_EQ(QFont::substitute(QString::fromUtf8(kFaceSongTi)),
              QString(kFallbackSerifFace).toLower());
}

} // namespace
