// The captions on the check button, the internet plate and the third tab stay on their plates
// in every shipped language and both connectivity states.  Each case also leaves a screenshot
// of the Internet Upgrade page under artifacts/ to be looked at.
#include "app/form_look.h"
#include "app/form_main.h"
#include "i18n/language_keys.h"
#include "tests/app/form_test_support.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sim_harness.h"
#include "upgrade/internet_indicator.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

using namespace formtest;

// The shipped lang.ini with language `number` chosen.
std::string ShippedLangIni(int number) {
    QFile file(QStringLiteral(QUILLON_SOURCE_DIR "/i18n/lang.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                      (bytes.size() - 2) / 2);
    text.replace(QStringLiteral("[set]\r\nval=2\r\n"),
                 QStringLiteral("[set]\r\nval=%1\r\n").arg(number));
    std::string out("\xFF\xFE", 2);
    out.append(reinterpret_cast<const char*>(text.utf16()),
               static_cast<std::size_t>(text.size()) * 2);
    return out;
}

// The text's rectangle lies inside `area` and its middle within 2 pixels of the area's middle
// line.
::testing::AssertionResult OnPlate(const QLabel* label, const QRect& area) {
    const QRect text = CaptionTextRect(label);
    const int offCentre = std::abs((text.top() + text.bottom()) - (area.top() + area.bottom())) / 2;
    if (area.contains(text) && offCentre <= 2)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << label->objectName().toStdString() << " \"" << label->text().toStdString()
           << "\" text at " << text.x() << "," << text.y() << " " << text.width() << "x"
           << text.height() << " outside " << area.x() << "," << area.y() << " " << area.width()
           << "x" << area.height() << " (" << QFontInfo(label->font()).pixelSize() << " px)";
}

QRect Area(const QWidget* plate, int left, int right) {
    const QRect g = plate->geometry();
    return QRect(g.left() + left, g.top(), right - left + 1, g.height());
}

TEST(CaptionFitTest, CaptionsStayOnTheirPlatesInEveryLanguage) {
    ScratchDir scratch;
    quillon::test::ScopedSimEnvironment env((scratch.Path() / "dev").string(),
                                            (scratch.Path() / "sys").string());
    const QString artifacts = QStringLiteral(QUILLON_BINARY_DIR "/artifacts/upgrade_page");
    QDir().mkpath(artifacts);
    RecordingMessageBox messages;
    for (int language = 1; language <= 12; ++language) {
        const std::string section = kLanguages[static_cast<std::size_t>(language - 1)].section;
        SCOPED_TRACE(section);
        const std::string ini = (scratch.Path() / "lang.ini").string();
        std::ofstream(ini, std::ios::binary) << ShippedLangIni(language);
        TFormMain form(TestFormOptions(scratch, &messages));
        form.show();
        ASSERT_EQ(form.State().LanguageNumber, language);

        EXPECT_TRUE(OnPlate(form.Control<QLabel>("Label_CheckUpdate"),
                            Area(form.Control("Button_InternetUpdate"), 49, 195)));
        EXPECT_TRUE(OnPlate(form.Control<QLabel>("Label_DtcLookup"),
                            Area(form.Control("TabImgBtn2"), 84, 296)));
        for (bool online : {false, true}) {
            form.ShowInternetState(online);
            auto* state = form.Control<QLabel>("Label_InternetConnected");
            EXPECT_EQ(state->text().toStdU16String(),
                      online ? form.State().Texts.LabelInternetConnected
                             : form.State().Texts.LabelInternetDisconnected);
            EXPECT_TRUE(OnPlate(state, Area(form.Control("img_internet_status_text"), 10, 189)))
                << (online ? "online" : "offline");
            const QString name =
                QStringLiteral("%1/%2_%3.png")
                    .arg(artifacts, QString::fromStdString(section),
                         online ? QStringLiteral("online") : QStringLiteral("offline"));
            form.grab().save(name);
        }
    }
}

TEST(CaptionFitTest, ALongerStateTextShrinksAndAShorterOneGetsItsSizeBack) {
    ScratchDir scratch;
    quillon::test::ScopedSimEnvironment env((scratch.Path() / "dev").string(),
                                            (scratch.Path() / "sys").string());
    const std::string ini = (scratch.Path() / "lang.ini").string();
    std::ofstream(ini, std::ios::binary)
        << "[set]\r\nval=2\r\n[en]\r\nLabelInternetDisconnected=No connection to the Internet\r\n"
           "LabelInternetConnected=Online\r\n";
    TFormMain form(TestFormOptions(scratch));
    auto* label = form.Control<QLabel>("Label_InternetConnected");
    const QRect area = Area(form.Control("img_internet_status_text"), 10, 189);
    EXPECT_TRUE(OnPlate(label, area));
    EXPECT_LT(QFontInfo(label->font()).pixelSize(), 20);
    form.ShowInternetState(true);
    EXPECT_TRUE(OnPlate(label, area));
    EXPECT_EQ(QFontInfo(label->font()).pixelSize(), 20);

    // A text too long even for the smallest font ends in an ellipsis on the plate and keeps its
    // whole wording in the tooltip.
    const QString endless = QStringLiteral("Internet ").repeated(12);
    label->setText(endless);
    FitCaptionOnPlate(label, form.Control("img_internet_status_text")->geometry(), area);
    EXPECT_TRUE(OnPlate(label, area));
    EXPECT_TRUE(label->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(label->toolTip(), endless);
}

// With QUILLON_ONLINE=1 the first check after start-up turns the indicator online.
TEST(CaptionFitTest, ForcedOnlineCheckTurnsTheIndicatorOn) {
    ScratchDir scratch;
    quillon::test::ScopedSimEnvironment env((scratch.Path() / "dev").string(),
                                            (scratch.Path() / "sys").string());
    quillon::test::ScopedEnv online("QUILLON_ONLINE", std::string("1"));
    TFormMain form(TestFormOptions(scratch));
    form.show();
    EXPECT_FALSE(form.State().InternetConnected);
    EXPECT_EQ(form.TimerCheckInternet->interval(), 1000);
    form.Indicator().TimerCheckInternetTimer();
    EXPECT_TRUE(form.State().InternetConnected);
    EXPECT_EQ(Text(form.Control("Label_InternetConnected")), "Internet Connected");
    EXPECT_EQ(form.TimerCheckInternet->interval(), 15000);
    EXPECT_TRUE(form.TimerAnimator->isActive());
    EXPECT_TRUE(ShowsImage(form, "img_internet_status_text", "png:internet_connected_text2"));
    // The animator's ticks alternate the icon, starting with the third frame.
    form.TimerAnimator->setInterval(1);
    QTest::qWait(50);
    form.TimerAnimator->stop();
    EXPECT_TRUE(ShowsImage(form, "img_internet_status_icon", "png:internet_connected_icon2") ||
                ShowsImage(form, "img_internet_status_icon", "png:internet_connected_icon3"));
}

} // namespace
