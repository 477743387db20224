#include "content/ui/dtc_list_view.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

const QColor TDtcListView::kBackColor(18, 68, 131);
const QColor TDtcListView::kTextColor(0, 255, 228);
const QColor TDtcListView::kSelectedBackColor(0, 0, 255);
const QColor TDtcListView::kSelectedTextColor(255, 255, 0);

namespace {

// A caption in upper case by the locale's rules.  Codes are mostly upper-case ASCII already, and
// those need no conversion at all, which keeps filling a large list quick.
std::u16string UpperCaption(const std::u16string& caption, const QLocale& locale) {
    bool needsConversion = false;
    for (const char16_t c : caption) {
        if (c >= 0x80 || (c >= u'a' && c <= u'z')) {
            needsConversion = true;
            break;
        }
    }
    if (!needsConversion)
        return caption;
    return locale.toUpper(QString::fromStdU16String(caption)).toStdU16String();
}

// The look of one row: the selected row in yellow on blue and bold, whether or not the list has
// the focus; every other row in the list's own colours.
void DTCLookupListCustomDrawItem(bool selected, QFont& font, QColor& fontColor,
                                 QColor& brushColor) {
    if (!selected)
        return;
    fontColor = TDtcListView::kSelectedTextColor;
    brushColor = TDtcListView::kSelectedBackColor;
    font.setBold(true);
}

} // namespace

class TDtcListModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetEntries(std::vector<DtcEntry> entries) {
        beginResetModel();
        entries_ = std::move(entries);
        const QLocale locale;
        upperCaptions_.clear();
        upperCaptions_.reserve(entries_.size());
        for (const DtcEntry& entry : entries_)
            upperCaptions_.push_back(UpperCaption(DtcCaption(entry), locale));
        endResetModel();
    }

    const std::vector<DtcEntry>& Entries() const { return entries_; }
    const std::vector<std::u16string>& UpperCaptions() const { return upperCaptions_; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const DtcEntry& entry = entries_[static_cast<std::size_t>(index.row())];
        if (role == Qt::DisplayRole) {
            if (index.column() == 0)
                return QString::fromStdU16String(DtcCaption(entry));
            return QString::fromStdU16String(DtcSubItem(entry));
        }
        // A description too long for its cell can still be read whole.
        if (role == Qt::ToolTipRole && index.column() == 1)
            return QString::fromStdU16String(entry.Description);
        if (role == Qt::TextAlignmentRole)
            return index.column() == 0 ? int(Qt::AlignCenter)
                                       : int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return section == 0 ? QStringLiteral("Items") : QStringLiteral("Contents");
        return {};
    }

private:
    std::vector<DtcEntry> entries_;
    std::vector<std::u16string> upperCaptions_;
};

namespace {

class DtcItemDelegate final : public QStyledItemDelegate {
public:
    explicit DtcItemDelegate(TDtcListView* view) : QStyledItemDelegate(view), view_(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QFont font = view_->RowFont();
        QColor fontColor = TDtcListView::kTextColor;
        QColor brushColor = TDtcListView::kBackColor;
        DTCLookupListCustomDrawItem(option.state.testFlag(QStyle::State_Selected), font, fontColor,
                                    brushColor);
        painter->save();
        painter->fillRect(option.rect, brushColor);
        painter->setFont(font);
        painter->setPen(fontColor);
        const QRect textRect = option.rect.adjusted(4, 0, -4, 0);
        const QString text = QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight,
                                                           textRect.width());
        painter->drawText(textRect, index.data(Qt::TextAlignmentRole).toInt(), text);
        painter->restore();
    }

private:
    TDtcListView* view_;
};

} // namespace

TDtcListView::TDtcListView(QWidget* parent) : QTableView(parent), model_(new TDtcListModel(this)) {
    setModel(model_);
}

TDtcListView::~TDtcListView() = default;

void TDtcListView::SetUpLook() {
    setFrameShape(QFrame::NoFrame);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Pixel scrolling: the search brings its row to a place given in pixels.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->resizeSection(0, kCodeColumnWidth);
    horizontalHeader()->setStretchLastSection(true);
    setItemDelegate(new DtcItemDelegate(this));

    // An Arial-like face: Arial where installed, otherwise a face with its shapes and widths.
    // Arial's cell (ascent and descent) of 24 pixels, the height of a row, is a 20-pixel em.
    rowFont_ = QFont();
    rowFont_.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                          QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
                          QStringLiteral("Helvetica")});
    rowFont_.setStyleHint(QFont::SansSerif);
    rowFont_.setPixelSize(kFontPixels);
    setFont(rowFont_);

    setStyleSheet(QStringLiteral(
        "QTableView { border: none; background: rgb(18, 68, 131); gridline-color: rgb(52, 98, "
        "158); }"
        "QScrollBar:vertical { background: rgb(12, 50, 100); width: 14px; margin: 0; border: none; "
        "}"
        "QScrollBar::handle:vertical { background: rgb(72, 118, 180); min-height: 24px; }"
        "QScrollBar::handle:vertical:hover { background: rgb(96, 142, 204); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    verticalScrollBar()->setSingleStep(kRowHeight);
}

void TDtcListView::SetEntries(std::vector<DtcEntry> entries) {
    model_->SetEntries(std::move(entries));
    horizontalHeader()->resizeSection(0, kCodeColumnWidth);
}

int TDtcListView::RowCount() const {
    return model_->rowCount();
}

QString TDtcListView::Caption(int row) const {
    return model_->data(model_->index(row, 0), Qt::DisplayRole).toString();
}

QString TDtcListView::SubItem(int row) const {
    return model_->data(model_->index(row, 1), Qt::DisplayRole).toString();
}

const std::vector<std::u16string>& TDtcListView::UpperCaptions() const {
    return model_->UpperCaptions();
}

int TDtcListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TDtcListView::SelectRow(int row) {
    selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
}

int TDtcListView::RowTop(int row) const {
    return rowViewportPosition(row);
}

void TDtcListView::ScrollBy(int pixels) {
    verticalScrollBar()->setValue(verticalScrollBar()->value() + pixels);
}

void TDtcListView::EnsureRowVisible(int row) {
    const QModelIndex index = model_->index(row, 0);
    if (!viewport()->rect().intersects(visualRect(index)))
        scrollTo(index, QAbstractItemView::EnsureVisible);
}

void TDtcListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit DoubleClicked();
}
