#include "reception/ui/rich_text_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

QColor ColourOf(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

TRichTextPane::TRichTextPane(QWidget* parent) : QPlainTextEdit(parent) {
    document()->setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Persian lines read right to left but stay at the left edge like every other line.
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    document()->setDefaultTextOption(option);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TRichTextPane::AppendText(std::u16string_view text, std::uint32_t colour) {
    if (isVisible() && !hasFocus())
        setFocus(Qt::OtherFocusReason);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(ColourOf(colour));
    cursor.insertText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())), format);
    setTextCursor(cursor);
}

void TRichTextPane::Clear(std::uint32_t colour) {
    clear();
    QTextCharFormat format;
    format.setForeground(ColourOf(colour));
    setCurrentCharFormat(format);
}

void TRichTextPane::CopyAll() {
    selectAll();
    const QTextDocumentFragment fragment(textCursor());
    auto* data = new QMimeData;
    data->setHtml(fragment.toHtml());
    data->setText(fragment.toPlainText());
    QApplication::clipboard()->setMimeData(data);
}

std::vector<QString> TRichTextPane::Lines() const {
    std::vector<QString> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text());
    if (!lines.empty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

QByteArray TRichTextPane::Utf16Text() const {
    QByteArray bytes("\xFF\xFE", 2);
    const auto put = [&bytes](char16_t unit) {
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    };
    for (const QString& line : Lines()) {
        for (const QChar c : line)
            put(c.unicode());
        put(u'\r');
        put(u'\n');
    }
    return bytes;
}
