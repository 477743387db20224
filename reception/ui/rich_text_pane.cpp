#include "reception/ui/rich_text_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 4;              // pixels left of and above the text
constexpr int kMaxShownColumns = 16384; // longer lines show their beginning only
constexpr int kRepaintMs = 30;          // while text streams in, the view is redrawn this often

QString LineText(const PrintDocument& document, int line) {
    const std::u16string_view text = document.Line(line);
    return QString::fromUtf16(
        text.data(), static_cast<qsizetype>(std::min<std::size_t>(text.size(), kMaxShownColumns)));
}

QTextOption LineOption(QTextOption::WrapMode wrap) {
    QTextOption option;
    option.setWrapMode(wrap);
    // Right-to-left lines read so but start at the left edge like the others.
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTextDirection(Qt::LayoutDirectionAuto);
    return option;
}

QList<QTextLayout::FormatRange> ColourFormats(const PrintDocument& document, int line, int length) {
    std::vector<std::pair<int, std::uint32_t>> runs;
    document.LineRuns(line, runs);
    QList<QTextLayout::FormatRange> formats;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const int begin = std::min(runs[r].first, length);
        const int end = r + 1 < runs.size() ? std::min(runs[r + 1].first, length) : length;
        if (end <= begin)
            continue;
        QTextLayout::FormatRange range;
        range.start = begin;
        range.length = end - begin;
        range.format.setForeground(ColourOf(runs[r].second));
        formats.append(range);
    }
    return formats;
}

} // namespace

QColor ColourOf(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

TRichTextPane::TRichTextPane(QWidget* parent)
    : QAbstractScrollArea(parent), document_(kDefaultPrintColour) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(20);
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(kRepaintMs);
    connect(&repaintTimer_, &QTimer::timeout, this, &TRichTextPane::Refresh);
    changeEvent(nullptr); // the line height of the font
}

TRichTextPane::~TRichTextPane() = default;

void TRichTextPane::changeEvent(QEvent* event) {
    if (event)
        QAbstractScrollArea::changeEvent(event);
    if (event && event->type() != QEvent::FontChange)
        return;
    // The height of a line with Latin, CJK and Arabic letters, whatever faces stand in for them.
    QTextLayout probe(QStringLiteral("Ay\u4E2D\u0628\u00C9g"), font());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLineWidth(1e6);
    probe.endLayout();
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(
                                  std::max(line.height(), QFontMetricsF(font()).lineSpacing()))));
    ForgetLayouts(0);
    advances_.assign(0x10000, -1.0f);
    maxWidth_ = 0;
    measuredLines_ = 0;
    MeasureLines();
    UpdateScrollBars();
    viewport()->update();
}

void TRichTextPane::AppendText(std::u16string_view text, std::uint32_t colour) {
    if (isVisible() && !hasFocus())
        setFocus(Qt::OtherFocusReason);
    const int lastLine = document_.LineCount() - 1;
    document_.Append(text, colour);
    ForgetLayouts(lastLine);
    // The caret goes after the last character.  The view follows it a little later, once for
    // all the text that came meanwhile: redrawing the scroll bars and shaping the last line
    // for every piece of a streaming report would cost more than all the rest.
    anchor_ = caret_ = document_.End();
    if (!repaintTimer_.isActive()) {
        repaintTimer_.start();
        sinceRefresh_.start();
    } else if (sinceRefresh_.elapsed() > 3 * kRepaintMs) {
        Refresh(); // a busy event loop must not leave the view behind for long
    }
}

void TRichTextPane::Refresh() {
    repaintTimer_.stop();
    MeasureLines();
    appending_ = true;
    UpdateScrollBars();
    ShowCaret();
    appending_ = false;
    KeepLayouts(FirstVisibleLine(), FirstVisibleLine() + VisibleLines());
    viewport()->update();
}

void TRichTextPane::Clear(std::uint32_t colour) {
    document_.Clear(colour);
    ForgetLayouts(0);
    anchor_ = caret_ = {};
    maxWidth_ = 0;
    measuredLines_ = 0;
    repaintTimer_.stop();
    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

qreal TRichTextPane::TextWidth(int line) const {
    // The sum of the characters' advances: close enough for the scroll range, and cheap enough
    // for a report of a hundred thousand lines (shaping each would cost a second).
    qreal width = 0;
    const std::u16string_view text = document_.Line(line);
    const QFontMetricsF metrics(font());
    for (std::size_t i = 0; i < std::min<std::size_t>(text.size(), kMaxShownColumns); ++i) {
        float& advance = advances_[text[i]];
        if (advance < 0)
            advance = static_cast<float>(metrics.horizontalAdvance(QChar(text[i])));
        width += advance;
    }
    return width;
}

void TRichTextPane::MeasureLines() {
    // Lines once they are complete, and the line being written each time.
    const int last = document_.LineCount() - 1;
    for (; measuredLines_ <= last; ++measuredLines_)
        maxWidth_ = std::max(maxWidth_, static_cast<int>(std::ceil(TextWidth(measuredLines_))));
    measuredLines_ = last; // the last line grows: measured again next time
}

int TRichTextPane::VisibleLines() const {
    return std::max(1, (viewport()->height() - kMargin) / lineHeight_);
}

int TRichTextPane::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

void TRichTextPane::UpdateScrollBars() {
    const int visible = VisibleLines();
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setRange(0, std::max(0, document_.LineCount() - visible));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, maxWidth_ + 2 * kMargin - viewport()->width()));
}

void TRichTextPane::ShowCaret() {
    QScrollBar* vertical = verticalScrollBar();
    const int visible = VisibleLines();
    if (caret_.line < vertical->value())
        vertical->setValue(caret_.line);
    else if (caret_.line >= vertical->value() + visible)
        vertical->setValue(caret_.line - visible + 1);
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = viewport()->width() - 2 * kMargin;
    if (horizontal->value() == 0 && maxWidth_ <= width)
        return; // every line fits: nothing to look for sideways
    const qreal x =
        LayoutOf(caret_.line).lineAt(0).cursorToX(std::min(caret_.column, kMaxShownColumns));
    if (x < horizontal->value())
        horizontal->setValue(static_cast<int>(x));
    else if (x > horizontal->value() + width)
        horizontal->setValue(static_cast<int>(std::ceil(x)) - width);
}

void TRichTextPane::scrollContentsBy(int, int) {
    if (appending_)
        return; // the repaint timer draws the new view
    viewport()->update();
}

void TRichTextPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

QTextLayout& TRichTextPane::LayoutOf(int line) const {
    std::unique_ptr<QTextLayout>& layout = layouts_[line];
    if (!layout) {
        const QString text = LineText(document_, line);
        layout = std::make_unique<QTextLayout>(text, font());
        layout->setCacheEnabled(true); // drawn again on every repaint: keep the shaped glyphs
        layout->setTextOption(LineOption(QTextOption::NoWrap));
        layout->setFormats(ColourFormats(document_, line, static_cast<int>(text.size())));
        layout->beginLayout();
        QTextLine l = layout->createLine();
        l.setLineWidth(1e7);
        l.setPosition(QPointF(0, 0));
        layout->endLayout();
    }
    return *layout;
}

void TRichTextPane::ForgetLayouts(int fromLine) const {
    for (auto it = layouts_.begin(); it != layouts_.end();)
        it = it->first >= fromLine ? layouts_.erase(it) : std::next(it);
}

void TRichTextPane::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    const int first = FirstVisibleLine();
    const int last = std::min(document_.LineCount() - 1, first + VisibleLines());
    const int dx = kMargin - horizontalScrollBar()->value();
    const TextPosition from = std::min(anchor_, caret_);
    const TextPosition to = std::max(anchor_, caret_);
    QTextCharFormat selected;
    selected.setBackground(palette().color(QPalette::Highlight));
    selected.setForeground(palette().color(QPalette::HighlightedText));
    for (int line = first; line <= last; ++line) {
        QTextLayout& layout = LayoutOf(line);
        QList<QTextLayout::FormatRange> selection;
        if (from != to && line >= from.line && line <= to.line) {
            const int begin = line == from.line ? from.column : 0;
            const int end = line == to.line ? to.column : layout.text().size() + 1;
            selection.append({begin, std::max(end - begin, 0), selected});
        }
        const int y = kMargin + (line - first) * lineHeight_;
        const qreal offset = (lineHeight_ - layout.lineAt(0).height()) / 2;
        layout.draw(&painter, QPointF(dx, y + offset), selection);
        if (line == caret_.line && hasFocus()) {
            const qreal x =
                dx + layout.lineAt(0).cursorToX(std::min(caret_.column, kMaxShownColumns));
            painter.setPen(palette().color(QPalette::Text));
            painter.drawLine(QPointF(x, y + 1), QPointF(x, y + lineHeight_ - 2));
        }
    }
    KeepLayouts(first, last);
}

void TRichTextPane::KeepLayouts(int first, int last) const {
    // Layouts of lines out of view go, so that memory follows the view, not the report.
    for (auto it = layouts_.begin(); it != layouts_.end();)
        it = it->first < first || it->first > last ? layouts_.erase(it) : std::next(it);
}

TextPosition TRichTextPane::PositionAt(QPoint point) const {
    const int row = (point.y() - kMargin) / lineHeight_;
    if (point.y() < kMargin && FirstVisibleLine() == 0)
        return {0, 0};
    const int line = FirstVisibleLine() + std::max(row, point.y() < kMargin ? -1 : 0);
    if (line >= document_.LineCount())
        return document_.End();
    if (line < 0)
        return {0, 0};
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    return {line, LayoutOf(line).lineAt(0).xToCursor(x)};
}

void TRichTextPane::SetSelection(TextPosition anchor, TextPosition caret) {
    anchor_ = anchor;
    caret_ = caret;
    viewport()->update();
}

void TRichTextPane::SelectAll() {
    SetSelection({0, 0}, document_.End());
}

QString TRichTextPane::SelectedText() const {
    return QString::fromStdU16String(document_.Text(anchor_, caret_));
}

void TRichTextPane::CopySelection() const {
    if (anchor_ == caret_)
        return;
    auto* data = new QMimeData;
    data->setHtml(QString::fromStdString(document_.Html(anchor_, caret_)));
    data->setText(SelectedText());
    QApplication::clipboard()->setMimeData(data);
}

void TRichTextPane::CopyAll() {
    SelectAll();
    if (document_.Empty()) {
        QApplication::clipboard()->setMimeData(new QMimeData);
        return;
    }
    CopySelection();
}

QString TRichTextPane::PlainText() const {
    return QString::fromStdU16String(document_.Text({0, 0}, document_.End()));
}

std::vector<QString> TRichTextPane::Lines() const {
    std::vector<QString> lines;
    int count = document_.LineCount();
    if (document_.Line(count - 1).empty())
        --count;
    for (int l = 0; l < count; ++l) {
        const std::u16string_view text = document_.Line(l);
        lines.push_back(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    }
    return lines;
}

QByteArray TRichTextPane::Utf16Text() const {
    const std::vector<std::uint8_t> bytes = document_.Utf16LeLines();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

bool TRichTextPane::LineIsRightToLeft(int index) const {
    return LineText(document_, index).isRightToLeft();
}

void TRichTextPane::Print(QPrinter* printer) const {
    QPainter painter(printer);
    const qreal width = printer->width();
    const qreal height = printer->height();
    int count = document_.LineCount();
    if (count > 1 && document_.Line(count - 1).empty())
        --count;
    qreal y = 0;
    for (int l = 0; l < count; ++l) {
        const std::u16string_view text = document_.Line(l);
        const QString line = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
        QTextLayout layout(line, font(), printer);
        layout.setTextOption(LineOption(QTextOption::WrapAtWordBoundaryOrAnywhere));
        layout.setFormats(ColourFormats(document_, l, static_cast<int>(line.size())));
        layout.beginLayout();
        qreal used = 0;
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLineWidth(width);
            row.setPosition(QPointF(0, used));
            used += row.height();
        }
        layout.endLayout();
        if (y + used > height && y > 0) {
            printer->newPage();
            y = 0;
        }
        layout.draw(&painter, QPointF(0, y));
        y += used;
    }
}

void TRichTextPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const TextPosition at = PositionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        anchor_ = at;
    caret_ = at;
    selecting_ = true;
    viewport()->update();
}

void TRichTextPane::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_)
        return;
    const QPoint at = event->position().toPoint();
    // Beyond the top or bottom edge the view moves on, line by line.
    if (at.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (at.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    caret_ = PositionAt(at);
    viewport()->update();
}

void TRichTextPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        selecting_ = false;
}

void TRichTextPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const TextPosition at = PositionAt(event->position().toPoint());
    SetSelection({at.line, 0}, {at.line, static_cast<int>(document_.Line(at.line).size())});
}

void TRichTextPane::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event); // arrows and page keys scroll
    }
}

void TRichTextPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("Copy"), this, &TRichTextPane::CopySelection);
    copy->setEnabled(anchor_ != caret_);
    menu.addAction(tr("Select All"), this, &TRichTextPane::SelectAll);
    menu.exec(event->globalPos());
}

void TRichTextPane::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TRichTextPane::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
