#pragma once
// The Print page's rich-text pane: report text appended at the end in its colour, copied as rich
// and plain text, saved line by line and printed.  A plain-text editor underneath, so that
// reports of many megabytes scroll and grow without laying out every line.
#include "reception/print_text.h"

#include <QPlainTextEdit>

#include <string>
#include <vector>

class TRichTextPane final : public QPlainTextEdit, public IPrintPane {
    Q_OBJECT
public:
    explicit TRichTextPane(QWidget* parent = nullptr);

    void AppendText(std::u16string_view text, std::uint32_t colour) override;
    void Clear(std::uint32_t colour) override;

    // Selects all text and puts it on the clipboard as rich text and plain text; the text stays
    // selected.
    void CopyAll();
    // The pane's lines; a last empty line (after a final line break) is not one.
    std::vector<QString> Lines() const;
    // The lines as UTF-16 little-endian with a byte-order mark, each ended by CR LF.
    QByteArray Utf16Text() const;
};

// A Qt colour from a 0x00BBGGRR colour value.
QColor ColourOf(std::uint32_t colour);
