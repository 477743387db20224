// Ways to the pages: the third tab's caption, the keyboard shortcuts, and the menu of the top
// band (right click) with the pages that have no tab.  Every way goes through the page switch,
// so its rules hold for all of them.
#include "app/controls.h"
#include "app/form_main.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace {

constexpr int kTopBand = 75; // the band that moves the window and carries the menu

struct PageShortcut {
    QKeyCombination keys;
    int page;
};

const PageShortcut kShortcuts[] = {
    {Qt::CTRL | Qt::Key_1, 0},
    {Qt::CTRL | Qt::Key_2, 1},
    {Qt::CTRL | Qt::Key_3, 2},
    {Qt::CTRL | Qt::Key_L, TFormMain::kPageLocalUpgrade},
    {QKeyCombination(Qt::Key_F1), TFormMain::kPageManual},
};

} // namespace

void TFormMain::CreateNavigation() {
    connect(Control<TClickLabel>("Label_DtcLookup"), &TClickLabel::clicked, this,
            [this] { SwitchTabImgBtn(2); });
    for (const PageShortcut& shortcut : kShortcuts) {
        auto* key = new QShortcut(QKeySequence(shortcut.keys), this);
        key->setObjectName(QStringLiteral("Shortcut_") + QKeySequence(shortcut.keys).toString());
        const int page = shortcut.page;
        connect(key, &QShortcut::activated, this, [this, page] { SwitchTabImgBtn(page); });
    }
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &TFormMain::ShowPageMenu);
    Control<QPushButton>("SpeedButtonSetting")
        ->setToolTip(QStringLiteral("Language settings\n\n"
                                    "Ctrl+1  Internet Upgrade\n"
                                    "Ctrl+2  Print\n"
                                    "Ctrl+3  DTC Lookup\n"
                                    "Ctrl+L  Local Upgrade\n"
                                    "F1  Manual\n"
                                    "Right click on the title bar: Local Upgrade, Manual"));
}

std::unique_ptr<QMenu> TFormMain::CreatePageMenu() {
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("PageMenu"));
    struct Entry {
        const char* text;
        int page;
        QKeyCombination keys;
    };
    for (const Entry& entry : {Entry{"Local Upgrade", kPageLocalUpgrade, Qt::CTRL | Qt::Key_L},
                               Entry{"Manual", kPageManual, QKeyCombination(Qt::Key_F1)}}) {
        QAction* action = menu->addAction(QString::fromLatin1(entry.text));
        // The shortcut is shown beside the entry; the window's own shortcut does the work.
        action->setShortcut(QKeySequence(entry.keys));
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setCheckable(true);
        action->setChecked(state_.CurrentTab == entry.page);
        // The page switch refuses while an operation runs; the menu says so beforehand.
        action->setEnabled(state_.BusyMode == 0 && state_.CurrentTab != entry.page);
        const int page = entry.page;
        connect(action, &QAction::triggered, this, [this, page] { SwitchTabImgBtn(page); });
    }
    return menu;
}

void TFormMain::ShowPageMenu(const QPoint& position) {
    if (position.y() >= kTopBand)
        return;
    const std::unique_ptr<QMenu> menu = CreatePageMenu();
    menu->exec(mapToGlobal(position));
}
