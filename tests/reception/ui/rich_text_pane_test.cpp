#include "reception/ui/rich_text_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool IsColour(QRgb pixel, const QColor& colour) {
    return std::abs(qRed(pixel) - colour.red()) < 40 &&
           std::abs(qGreen(pixel) - colour.green()) < 40 &&
           std::abs(qBlue(pixel) - colour.blue()) < 40;
}

// How many pixels of the pane's picture have (about) this colour.
int Pixels(TRichTextPane& pane, const QColor& colour) {
    const QImage image = pane.viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += IsColour(image.pixel(x, y), colour);
    return count;
}

struct Pane {
    Pane() {
        pane.resize(400, 200);
        QPalette palette = pane.palette();
        palette.setColor(QPalette::Base, QColor(2, 33, 81));
        pane.setPalette(palette);
        pane.show();
    }
    TRichTextPane pane;
};

TEST(RichTextPane, DrawsEachRunInItsColourAndFollowsTheEnd) {
    Pane p;
    p.pane.AppendText(u"green text ", 0x00EE00);
    p.pane.AppendText(u"RED RED RED\r\n", 0x0000FF);
    EXPECT_GT(Pixels(p.pane, QColor(0, 238, 0)), 20);
    EXPECT_GT(Pixels(p.pane, QColor(255, 0, 0)), 20);
    EXPECT_EQ(p.pane.Caret(), (TextPosition{1, 0}));
    EXPECT_EQ(p.pane.Anchor(), p.pane.Caret());

    // Many lines later the view shows the end, not the start (a moment later: the view
    // catches up with streaming text at most every few tens of milliseconds).
    for (int i = 0; i < 200; ++i)
        p.pane.AppendText(u"line\r\n", 0x00EE00);
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.pane.FirstVisibleLine() > 190; }, 1000));
    EXPECT_EQ(p.pane.verticalScrollBar()->value(), p.pane.verticalScrollBar()->maximum());
    EXPECT_EQ(Pixels(p.pane, QColor(255, 0, 0)), 0);
}

TEST(RichTextPane, PersianLinesReadRightToLeftFromTheLeftEdge) {
    Pane p;
    p.pane.AppendText(u"Report\r\n\u0628\u0627\u062A\u0631\u0649 \u0633\u0627\u0644\u0645\r\n",
                      0xEE00);
    EXPECT_FALSE(p.pane.LineIsRightToLeft(0));
    EXPECT_TRUE(p.pane.LineIsRightToLeft(1));
    // The Persian line's glyphs lie at the left, like every line.
    const QImage image = p.pane.viewport()->grab().toImage();
    const int y0 = 4 + p.pane.LineHeight();
    int leftmost = image.width();
    for (int y = y0; y < y0 + p.pane.LineHeight(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (IsColour(image.pixel(x, y), QColor(0, 238, 0)))
                leftmost = std::min(leftmost, x);
    EXPECT_LT(leftmost, 40);
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
    Pane p;
    p.pane.AppendText(u"green ", 0xEE00);
    p.pane.AppendText(u"red\r\nnext", 0x0000FF);
    p.pane.CopyAll();
    EXPECT_EQ(p.pane.SelectedText(), QStringLiteral("green red\nnext"));
    EXPECT_EQ(p.pane.Anchor(), (TextPosition{0, 0}));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("green red\nnext"));
    EXPECT_NE(data->html().indexOf(QStringLiteral("color:#ff0000\">red")), -1)
        << data->html().toStdString();
    // The selection shows; the next text puts the caret back at the end.
    EXPECT_GT(Pixels(p.pane, p.pane.palette().color(QPalette::Highlight)), 50);
    p.pane.AppendText(u"!", 0xEE00);
    EXPECT_EQ(p.pane.Anchor(), p.pane.Caret());
}

TEST(RichTextPane, MouseAndKeysSelectAndCopy) {
    Pane p;
    p.pane.AppendText(u"first line\r\nsecond line\r\n", 0xEE00);
    const int h = p.pane.LineHeight();
    QTest::mousePress(p.pane.viewport(), Qt::LeftButton, {}, QPoint(2, 4 + h / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(300, 4 + h + h / 2), QPointF(300, 4 + h + h / 2),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(p.pane.viewport(), &move);
    QTest::mouseRelease(p.pane.viewport(), Qt::LeftButton, {}, QPoint(300, 4 + h + h / 2));
    EXPECT_EQ(p.pane.SelectedText(), QStringLiteral("first line\nsecond line"));
    QApplication::clipboard()->clear();
    QTest::keyClick(&p.pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first line\nsecond line"));
    QTest::keyClick(&p.pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(p.pane.SelectedText(), QStringLiteral("first line\nsecond line\n"));
}

TEST(RichTextPane, ClearEmptiesAndTheNextTextTakesItsColour) {
    Pane p;
    p.pane.AppendText(u"old\r\n", 0x0000FF);
    p.pane.Clear(0xEE00);
    EXPECT_TRUE(p.pane.PlainText().isEmpty());
    EXPECT_EQ(p.pane.Document().LineCount(), 1);
    EXPECT_EQ(Pixels(p.pane, QColor(255, 0, 0)), 0);
}

} // namespace
