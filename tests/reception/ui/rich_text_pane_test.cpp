#include "reception/ui/rich_text_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

// The colour of the text at a character position.
QColor ColourAt(const TRichTextPane& pane, int position) {
    QTextCursor cursor(pane.document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().foreground().color();
}

TEST(RichTextPane, AppendsColouredTextAtTheEndAndCannotUndoIt) {
    TRichTextPane pane;
    pane.setPlainText(QStringLiteral("typed"));
    QTextCursor start(pane.document());
    pane.setTextCursor(start); // the caret at the start
    pane.AppendText(u" A", 0x0000FF);
    pane.AppendText(u"B\r\nC", 0xFF6600);
    EXPECT_EQ(pane.document()->blockCount(), 2);
    EXPECT_EQ(pane.document()->firstBlock().text(), QStringLiteral("typed AB"));
    EXPECT_EQ(pane.document()->lastBlock().text(), QStringLiteral("C"));
    EXPECT_EQ(ColourAt(pane, 6), QColor(255, 0, 0));
    EXPECT_EQ(ColourAt(pane, 7), QColor(0, 102, 255));
    EXPECT_EQ(pane.textCursor().position(), pane.document()->characterCount() - 1);
    EXPECT_FALSE(pane.document()->isUndoAvailable());
}

TEST(RichTextPane, PersianLinesReadRightToLeft) {
    TRichTextPane pane;
    pane.resize(400, 200);
    pane.AppendText(u"Report\r\n\u0628\u0627\u062A\u0631\u0649 \u0633\u0627\u0644\u0645\r\n", 0xEE00);
    const QTextBlock persian = pane.document()->findBlockByNumber(1);
    EXPECT_EQ(persian.textDirection(), Qt::RightToLeft);
    EXPECT_EQ(pane.document()->firstBlock().textDirection(), Qt::LeftToRight);
}

TEST(RichTextPane, LinesAndTheirUtf16Form) {
    TRichTextPane pane;
    EXPECT_EQ(pane.Utf16Text(), QByteArray("\xFF\xFE", 2));
    pane.AppendText(u"A\u20AC\r\n\r\nB\r\n", 0xEE00);
    EXPECT_EQ(pane.Lines(), (std::vector<QString>{"A€", "", "B"}));
    EXPECT_EQ(pane.Utf16Text(), QByteArray("\xFF\xFE"
                                           "A\0\xAC\x20\r\0\n\0"
                                           "\r\0\n\0"
                                           "B\0\r\0\n\0",
                                           20));
}

TEST(RichTextPane, CopyAllLeavesEverythingSelectedAndOffersRichAndPlainText) {
    TRichTextPane pane;
    pane.AppendText(u"green ", 0xEE00);
    pane.AppendText(u"red\r\nnext", 0x0000FF);
    pane.CopyAll();
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("green red\u2029next"));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("green red\nnext"));
    EXPECT_TRUE(data->hasHtml());
    EXPECT_NE(data->html().indexOf(QStringLiteral("color:#ff0000;\">red")), -1)
        << data->html().toStdString();
}

TEST(RichTextPane, ClearEmptiesAndTypingTakesTheGivenColour) {
    TRichTextPane pane;
    pane.AppendText(u"old", 0x0000FF);
    pane.Clear(0xEE00);
    EXPECT_TRUE(pane.toPlainText().isEmpty());
    pane.insertPlainText(QStringLiteral("typed"));
    EXPECT_EQ(ColourAt(pane, 0), QColor(0, 238, 0));
}

} // namespace
