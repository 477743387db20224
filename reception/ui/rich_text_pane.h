#pragma once
// The Print page's rich-text pane: the received report, coloured, appended at the end with the
// view following it.  It draws only the lines in view from a compact PrintDocument, so a
// report of many megabytes costs about twice its size and appending stays cheap.  The user
// selects with the mouse (or Ctrl+A), copies as rich and plain text (Ctrl+C or the context
// menu) and scrolls with both scroll bars, the wheel and the keys; the text is not editable.
#include "reception/print_document.h"
#include "reception/print_text.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <unordered_map>
#include <vector>

class QPrinter;
class QTextLayout;

class TRichTextPane final : public QAbstractScrollArea, public IPrintPane {
    Q_OBJECT
public:
    explicit TRichTextPane(QWidget* parent = nullptr);
    ~TRichTextPane() override;

    void AppendText(std::u16string_view text, std::uint32_t colour) override;
    void Clear(std::uint32_t colour) override;

    const PrintDocument& Document() const { return document_; }
    QString PlainText() const;
    // The pane's lines; the empty line after a final line break is not one.
    std::vector<QString> Lines() const;
    // The lines as UTF-16 little-endian with a byte-order mark, each ended by CR LF.
    QByteArray Utf16Text() const;
    // Whether line `index` reads right to left (it starts with right-to-left letters).
    bool LineIsRightToLeft(int index) const;

    void SelectAll();
    void SetSelection(TextPosition anchor, TextPosition caret);
    TextPosition Anchor() const { return anchor_; }
    TextPosition Caret() const { return caret_; }
    QString SelectedText() const;
    // The selection on the clipboard as rich text (HTML with the colours) and plain text.
    void CopySelection() const;
    // Selects all text and copies it; the text stays selected.
    void CopyAll();

    // Prints every line, long lines wrapped at the page's width, in its colours.
    void Print(QPrinter* printer) const;

    int FirstVisibleLine() const;
    int LineHeight() const { return lineHeight_; }
    // The text position under a point of the viewport.
    TextPosition PositionAt(QPoint point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QTextLayout& LayoutOf(int line) const;
    void ForgetLayouts(int fromLine) const;
    void KeepLayouts(int first, int last) const;
    void MeasureLines();
    qreal TextWidth(int line) const;
    void UpdateScrollBars();
    void ShowCaret();
    // Brings the scroll bars and the view up to date after appends.
    void Refresh();
    int VisibleLines() const;

    PrintDocument document_;
    TextPosition anchor_;
    TextPosition caret_;
    int lineHeight_ = 16;
    int maxWidth_ = 0;      // widest line measured so far, in pixels
    int measuredLines_ = 0; // lines [0, measuredLines_) are in maxWidth_
    bool selecting_ = false;
    bool appending_ = false; // repaints wait for the repaint timer
    QTimer repaintTimer_;
    QElapsedTimer sinceRefresh_;
    mutable std::unordered_map<int, std::unique_ptr<QTextLayout>> layouts_;
    mutable std::vector<float> advances_; // width of each UTF-16 unit in the font, -1 unknown
};

// A Qt colour from a 0x00BBGGRR colour value.
QColor ColourOf(std::uint32_t colour);
