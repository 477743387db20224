#include "content/ui/manual_page.h"

#include "content/manual_library.h"

#include <QDesktopServices>
#include <QFile>
#include <QListWidget>
#include <QUrl>

namespace {

void OpenWithDesktop(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

} // namespace

ManualPage::ManualPage(QListWidget* list, std::string folder, Opener opener, QObject* parent)
    : QObject(parent), list_(list), folder_(std::move(folder)),
      opener_(opener ? std::move(opener) : Opener(OpenWithDesktop)) {
    connect(list_, &QListWidget::itemDoubleClicked, this, &ManualPage::ManualListBoxDblClick);
}

void ManualPage::LoadManualList() {
    list_->clear();
    names_ = ListManualFolder(folder_);
    for (const std::string& name : names_)
        list_->addItem(QFile::decodeName(name.c_str()));
}

void ManualPage::ManualListBoxDblClick() {
    const int row = list_->currentRow();
    if (row < 0 || row >= static_cast<int>(names_.size()) || !list_->item(row)->isSelected())
        return;
    // The stored name, not the shown text: a name that is not valid in the locale's encoding
    // still opens.
    opener_(folder_ + names_[static_cast<std::size_t>(row)]);
}
