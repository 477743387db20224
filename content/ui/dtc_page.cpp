#include "content/ui/dtc_page.h"

#include "content/dtc_database.h"
#include "content/dtc_search.h"
#include "content/ui/dtc_list_view.h"

#include <QLineEdit>
#include <QLocale>

DtcPage::DtcPage(TDtcListView* list, QLineEdit* search, IMessageBox* messageBox,
                 std::string executableDir, QObject* parent)
    : QObject(parent), list_(list), search_(search), messageBox_(messageBox),
      executableDir_(std::move(executableDir)) {
    connect(search_, &QLineEdit::textChanged, this, &DtcPage::EditSearchChange);
}

void DtcPage::LoadDtcList() {
    list_->SetUpLook();
    connect(list_, &TDtcListView::DoubleClicked, this, &DtcPage::DTCLookupListDblClick,
            Qt::UniqueConnection);
    DtcDatabase database = LoadDtcDatabase(executableDir_);
    databasePath_ = database.Path;
    list_->SetEntries(std::move(database.Entries));
}

void DtcPage::EditSearchChange() {
    const std::u16string text = TrimSearchText(QLocale().toUpper(search_->text()).toStdU16String());
    const int row = FindFirstContaining(list_->UpperCaptions(), text);
    if (row < 0)
        return;
    // Selecting first: making a row current scrolls just enough to show it, and the scroll
    // below is what places it.
    list_->SelectRow(row);
    list_->ScrollBy(list_->RowTop(row) - kFoundRowTop);
    list_->EnsureRowVisible(row);
}

void DtcPage::DTCLookupListDblClick() {
    const int row = list_->SelectedRow();
    if (row < 0)
        return;
    messageBox_->ShowTextMessage(list_->SubItem(row).toStdU16String());
}
