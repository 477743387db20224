// The language dialog offscreen, with lang.ini in a scratch folder and the restart replaced by a
// test double.
#include "i18n/ui/form1.h"

#include "core/ports.h"
#include "graphics/bitmap_factory.h"
#include "i18n/fonts.h"
#include "i18n/language_keys.h"
#include "tests/i18n/ini_test_util.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::Utf16File;
using testutil::WriteFile;

namespace {

class RecordingMessageBox : public IMessageBox {
public:
    void ShowTextMessage(const std::u16string& text) override { shown.push_back(text); }
    std::vector<std::u16string> shown;
};

class Form1Test : public ::testing::Test {
protected:
    // A dialog over a lang.ini holding `content`, shown as the settings button would.
    TForm1& Open(const std::string& content) {
        WriteFile(path, content);
        form = std::make_unique<TForm1>(factory, path, &messages);
        form->onRestartRequested = [this] { ++restarts; };
        form->show();
        return *form;
    }
    QString Caption(const char* name) const { return form->findChild<QLabel*>(name)->text(); }
    int Selected() const {
        for (int n = 1; n <= 12; ++n)
            if (form->RadioButton(n)->isChecked())
                return n;
        return 0;
    }
    void Click(const char* name) {
        QTest::mouseClick(form->findChild<QWidget*>(name), Qt::LeftButton);
    }
    int StoredLanguage() const {
        IniFile ini;
        ini.Load(ReadFile(path));
        return ini.ReadInteger("set", "val", 2);
    }

    ScratchDir dir;
    std::string path = dir.File("lang.ini");
    TBitmapFactory factory;
    RecordingMessageBox messages;
    std::unique_ptr<TForm1> form;
    int restarts = 0;
};

std::string LangIni(const std::u16string& val) {
    return Utf16File(
        u"[set]\r\nval=" + val +
        u"\r\n[pl]\r\nConfirmButton=Potwierdź\r\nCancelButton=Anuluj\r\n"
        u"LanguageSettings=Ustawienia języka\r\n[cn]\r\nLanguageSettings=语言设置\r\n");
}

TEST_F(Form1Test, ShowsTheStoredLanguageWithItsTexts) {
    TForm1& dialog = Open(LangIni(u"5"));
    EXPECT_EQ(Selected(), 5);
    EXPECT_EQ(Caption("Label_Confirm"), "Potwierdź");
    EXPECT_EQ(Caption("Label_Cancel"), "Anuluj");
    EXPECT_EQ(Caption("Label_LanguageSettings"), "Ustawienia języka");
    EXPECT_EQ(dialog.size(), QSize(960, 584));
    EXPECT_EQ(dialog.windowTitle(), " ");
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    const char16_t* names[] = {u"中文",       u"English",   u"にほんご",     u"한국어",
                               u"Polsk",      u"Deutsch",   u"Русский язык", u"Français",
                               u"Nederlands", u"Português", u"Español",      u"Italiano"};
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(dialog.RadioButton(n)->text().toStdU16String(), names[n - 1]) << n;
    EXPECT_EQ(dialog.RadioButton(7)->geometry(), QRect(600, 168, 130, 17));
    EXPECT_EQ(dialog.RadioButton(1)->palette().color(QPalette::Window), QColor(22, 76, 140));
}

TEST_F(Form1Test, CaptionsAreShownAsTheyStand) {
    Open(Utf16File(u"[set]\r\nval=2\r\n[en]\r\nConfirmButton=<b>OK</b>\r\n"
                   u"LanguageSettings=a &amp; b\r\n"));
    EXPECT_EQ(Caption("Label_Confirm"), "<b>OK</b>");
    EXPECT_EQ(Caption("Label_LanguageSettings"), "a &amp; b");
    for (const QLabel* label : form->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    }
}

TEST_F(Form1Test, TitleFaceIsSerifOnlyForChinese) {
    const struct {
        std::u16string val;
        const char* face;
        const char* title;
    } cases[] = {{u"1", kFallbackSerifFace, "语言设置"},
                 {u"2", kFallbackSansFace, "Language Settings"}};
    for (const auto& c : cases) {
        Open(LangIni(c.val));
        const QLabel* title = form->findChild<QLabel*>("Label_LanguageSettings");
        EXPECT_EQ(title->font().family(), c.face);
        EXPECT_EQ(title->text(), c.title);
    }
}

TEST_F(Form1Test, ConfirmWithoutChangeOnlyCloses) {
    const std::string before = LangIni(u"5");
    TForm1& dialog = Open(before);
    Click("Label_Confirm");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.RestartRequested);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(Form1Test, ConfirmingAnotherLanguageStoresItAndRequestsTheRestart) {
    TForm1& dialog = Open(LangIni(u"5"));
    dialog.RadioButton(6)->click();
    Click("ImgButtonConfirm");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.RestartRequested);
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(dialog.DialogLanguage(), 6);
    EXPECT_EQ(ReadFile(path), LangIni(u"6")); // only the number changed
}

TEST_F(Form1Test, UnknownNumberShowsEnglishWithChineseSelected) {
    TForm1& dialog = Open(Utf16File(u"[set]\r\nval=13\r\n"));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(Caption("Label_Confirm"), "Confirm");
    EXPECT_EQ(Caption("Label_Cancel"), "Cancel");
    EXPECT_EQ(Caption("Label_LanguageSettings"), "Language Settings");
    // What is shown is what Confirm takes: Chinese.
    dialog.Label_ConfirmClick();
    EXPECT_EQ(StoredLanguage(), 1);
    EXPECT_TRUE(dialog.RestartRequested);
}

TEST_F(Form1Test, CancelAndCloseKeepTheStoredLanguage) {
    for (const char* button : {"Label_Cancel", "ImgButtonCancel", "CloseButton"}) {
        SCOPED_TRACE(button);
        const std::string before = LangIni(u"2");
        TForm1& dialog = Open(before);
        dialog.RadioButton(12)->click();
        Click(button);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_EQ(restarts, 0);
        // Shown again, the dialog offers the stored language, not the abandoned choice.
        dialog.show();
        EXPECT_EQ(Selected(), 2);
    }
}

TEST_F(Form1Test, UnwritableFileIsReportedAndNothingCloses) {
    const std::string before = LangIni(u"2");
    TForm1& dialog = Open(before);
    chmod(path.c_str(), 0444);
    dialog.RadioButton(6)->click();
    dialog.Label_ConfirmClick();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              QString::fromStdString("Unable to write to " + path).toStdU16String());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.RestartRequested);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(ReadFile(path), before);
    // The failed write stored nothing, so a second Confirm tries again rather than closing as if
    // the language had been saved.
    EXPECT_EQ(dialog.DialogLanguage(), 2);
    chmod(path.c_str(), 0644);
    dialog.Label_ConfirmClick();
    EXPECT_EQ(StoredLanguage(), 6);
    EXPECT_TRUE(dialog.RestartRequested);
    EXPECT_EQ(restarts, 1);
}

TEST_F(Form1Test, RepaintKeepsTheUsersChoiceUntilConfirm) {
    TForm1& dialog = Open(LangIni(u"2"));
    dialog.RadioButton(8)->click();
    dialog.repaint();
    QApplication::processEvents();
    EXPECT_EQ(Selected(), 8);
    dialog.Label_ConfirmClick();
    EXPECT_EQ(StoredLanguage(), 8);
}

TEST_F(Form1Test, TopBandShowsTheHandAndDragsTheDialog) {
    TForm1& dialog = Open(LangIni(u"2"));
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, dialog.mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&dialog, &event);
    };
    send(QEvent::MouseMove, QPoint(500, 30), Qt::NoButton);
    EXPECT_EQ(dialog.cursor().shape(), Qt::PointingHandCursor);
    send(QEvent::MouseMove, QPoint(500, 300), Qt::NoButton);
    EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);

    // Without a platform window move (offscreen), the dialog follows the pointer itself.
    const QPoint before = dialog.pos();
    send(QEvent::MouseButtonPress, QPoint(500, 30), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(540, 50), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(540, 50), Qt::NoButton);
    EXPECT_EQ(dialog.pos(), before + QPoint(40, 20));
}

TEST(Form1PlacementTest, TheFixedPlaceIsPulledInsideASmallerScreen) {
    const QRect dialog(486, 251, 960, 584);
    struct Case {
        QRect screen;
        QPoint expected;
    };
    for (const Case& c : {Case{QRect(0, 0, 1920, 1080), QPoint(486, 251)},
                          Case{QRect(0, 0, 1366, 768), QPoint(406, 184)},
                          Case{QRect(0, 32, 1280, 992), QPoint(320, 251)},
                          Case{QRect(0, 0, 800, 600), QPoint(0, 16)},
                          Case{QRect(1920, 0, 1920, 1080), QPoint(1920, 251)}})
        EXPECT_EQ(PlaceOnScreen(c.screen, dialog), c.expected) << c.screen.width();
}

// With QUILLON_SCREENSHOT_DIR set, saves the dialog in every language of the shipped lang.ini
// (form1-<section>.png) for a look by eye; otherwise skipped.
TEST_F(Form1Test, ScreenshotsOfEveryLanguage) {
    const char* out = std::getenv("QUILLON_SCREENSHOT_DIR");
    if (out == nullptr)
        GTEST_SKIP() << "QUILLON_SCREENSHOT_DIR not set";
    IniFile shipped;
    shipped.Load(ReadFile(QUILLON_SOURCE_DIR "/i18n/lang.ini"));
    for (int n = 1; n <= 12; ++n) {
        TForm1& dialog =
            Open(shipped.ContentWithValue("set", "val", QString::number(n).toStdU16String()));
        const std::string file = std::string(out) + "/form1-" + LanguageSection(n) + ".png";
        EXPECT_TRUE(dialog.grab().save(QString::fromStdString(file))) << file;
    }
}

} // namespace
