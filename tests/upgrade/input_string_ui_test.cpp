// The input box that Set ID asks with: modal, centred, one edit limited to the given length,
// OK and Cancel (Chinese words for the Chinese locale), Enter and Esc.
#include "upgrade/ui/input_string.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `act` on the input box once it is open, then lets InputString return.
bool AnswerInputBox(QString& text, int maxLength,
                    const std::function<void(TInputStringDialog&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<TInputStringDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
    return InputString(nullptr, QStringLiteral("ID"), text, maxLength);
}

TEST(InputStringTest, EnterConfirmsTheEditedTextEscKeepsTheOldOne) {
    QString text = QStringLiteral("123456789012");
    bool checked = false;
    EXPECT_TRUE(AnswerInputBox(text, 12, [&checked](TInputStringDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "ID");
        EXPECT_TRUE(dialog.isModal());
        EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_GE(dialog.width(), 250);
        EXPECT_GE(dialog.height(), 100);
        EXPECT_EQ(dialog.minimumSize(), QSize(250, 100));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 2);
        EXPECT_EQ(dialog.Edit()->text(), "123456789012");
        EXPECT_EQ(dialog.OkButton()->text(), "OK");
        EXPECT_EQ(dialog.CancelButton()->text(), "Cancel");
        // Typing replaces the selected proposal; the edit takes 12 characters at most.
        QTest::keyClicks(dialog.Edit(), "98765432109876");
        EXPECT_EQ(dialog.Edit()->text(), "987654321098");
        QTest::keyClick(dialog.Edit(), Qt::Key_Return);
        checked = true;
    }));
    EXPECT_TRUE(checked);
    EXPECT_EQ(text, "987654321098");

    EXPECT_FALSE(AnswerInputBox(text, 12, [](TInputStringDialog& dialog) {
        QTest::keyClicks(dialog.Edit(), "1");
        QTest::keyClick(dialog.Edit(), Qt::Key_Escape);
    }));
    EXPECT_EQ(text, "987654321098");

    EXPECT_FALSE(AnswerInputBox(text, 12, [](TInputStringDialog& dialog) {
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    }));
    EXPECT_TRUE(AnswerInputBox(text, 12, [](TInputStringDialog& dialog) {
        dialog.Edit()->setText(QStringLiteral(" 42 "));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    }));
    EXPECT_EQ(text, " 42 "); // trimming is the caller's rule
}

TEST(InputStringTest, ChineseLocaleGetsChineseButtons) {
    EXPECT_EQ(InputButtonLabelsFor(QLocale(QLocale::Chinese, QLocale::China)).ok, "确定");
    EXPECT_EQ(InputButtonLabelsFor(QLocale(QLocale::Chinese, QLocale::China)).cancel, "取消");
    EXPECT_EQ(InputButtonLabelsFor(QLocale(QLocale::Chinese, QLocale::Taiwan)).ok, "OK");
    EXPECT_EQ(InputButtonLabelsFor(QLocale(QLocale::German, QLocale::Germany)).cancel, "Cancel");

    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    TInputStringDialog dialog(QStringLiteral("ID"), QString(), 12);
    QLocale::setDefault(saved);
    EXPECT_EQ(dialog.OkButton()->text(), "确定");
    EXPECT_EQ(dialog.CancelButton()->text(), "取消");
}

TEST(InputStringTest, QtInputBoxHandsTextBackAsUtf16) {
    QtInputBox box(nullptr);
    std::u16string text = u"proposal";
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TInputStringDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Edit()->maxLength(), 5);
        dialog->Edit()->setText(QStringLiteral("Äb12"));
        dialog->accept();
    });
    EXPECT_TRUE(box.InputString(u"ID", text, 5));
    EXPECT_EQ(text, u"Äb12");
}

} // namespace
