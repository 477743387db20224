#pragma once
// The trouble-code list: a two-column report list ("Items" with the code, "Contents" with the
// description) in the skin's colours, 24-pixel rows, grid lines and whole-row selection.  The
// selected row is drawn yellow on blue in bold whether or not the list has the focus, so a row
// that the search box selects stands out while the typing goes on.
#include "content/dtc_database.h"

#include <QTableView>

#include <string>
#include <vector>

class TDtcListModel;

class TDtcListView final : public QTableView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 24;
    static constexpr int kCodeColumnWidth = 124;
    static constexpr int kFontPixels = 20;
    // Colours of the list (background, text) and of the selected row (background, text).
    static const QColor kBackColor;
    static const QColor kTextColor;
    static const QColor kSelectedBackColor;
    static const QColor kSelectedTextColor;

    explicit TDtcListView(QWidget* parent = nullptr);
    ~TDtcListView() override;

    // The look of the list: no border, grid lines, whole-row single selection, no editing, no
    // headers, flat scroll bars and no horizontal one, the colours and an Arial-like face.
    void SetUpLook();

    // Replaces the rows with these entries, in their order.
    void SetEntries(std::vector<DtcEntry> entries);

    int RowCount() const;
    QString Caption(int row) const;
    QString SubItem(int row) const;
    // The captions upper-cased by the locale's rules, row by row, for the search.
    const std::vector<std::u16string>& UpperCaptions() const;

    // The selected row, or -1.
    int SelectedRow() const;
    // Selects `row` alone and makes it the current row.
    void SelectRow(int row);
    // Top of `row` in the list's client area (negative above it).
    int RowTop(int row) const;
    // Scrolls the list by `pixels` (positive: the rows move up).
    void ScrollBy(int pixels);
    // Scrolls `row` into view unless part of it shows already.
    void EnsureRowVisible(int row);

    // The font of the rows as the list draws them.
    QFont RowFont() const { return rowFont_; }

signals:
    void DoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TDtcListModel* model_;
    QFont rowFont_;
};
