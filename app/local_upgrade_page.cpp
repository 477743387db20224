#include "app/local_upgrade_page.h"

#include "app/controls.h"
#include "app/form_look.h"
#include "app/layout_helpers.h"
#include "app/qt_ports.h"
#include "core/main_state.h"
#include "platform/paths.h"
#include "upgrade/local_upgrade.h"
#include "upgrade/ui/input_string.h"

#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const char* const kRowCaptions[] = {"Upgrade MCU", "Upgrade FLASH", "Upgrade LOGO or LOGO+FLASH"};

// Rows and buttons in page coordinates; the page begins at the top edge of the content frame.
constexpr int kRowLeft = 56;
constexpr int kRowTop = 78;
constexpr int kRowPitch = 116;
constexpr int kRowWidth = 620;
constexpr int kRowHeight = 100;
constexpr int kToolLeft = 716;
constexpr int kToolWidth = 188;

template <class T>
T* Place(QWidget* parent, const QString& name, int left, int top, int width, int height) {
    return ::Place<T>(parent, name.toLatin1().constData(), left, top, width, height);
}

QString Numbered(const char* name, int row) {
    return QString::fromLatin1(name) + QString::number(row);
}

// Light text and flat blue controls, so the page sits on the dark skin like the others.
const char* const kPageStyle = R"(
QGroupBox {
    color: white; border: 1px solid rgba(120, 165, 225, 110); border-radius: 8px;
    margin-top: 12px; background: rgba(10, 35, 75, 120);
}
QGroupBox::title { subcontrol-origin: margin; left: 14px; padding: 0 6px; }
QLabel { color: white; }
QLineEdit {
    color: white; background: rgb(26, 81, 146); border: 1px solid rgb(55, 105, 170);
    border-radius: 4px; padding: 0 6px;
}
QPushButton {
    color: white; border: 1px solid rgb(70, 125, 195); border-radius: 6px; padding: 0 10px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(48, 105, 178),
                                stop:1 rgb(30, 74, 135));
}
QPushButton:hover { background: rgb(58, 122, 204); }
QPushButton:pressed { background: rgb(24, 60, 112); }
QPushButton:disabled {
    color: rgba(255, 255, 255, 95); border-color: rgb(40, 70, 112); background: rgb(22, 50, 92);
}
)";

QString ChooseFileWithDialog(QWidget* parent, const QString& filter) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(filter); // splits Qt's ";;" list itself
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

LocalUpgradePage::LocalUpgradePage(QWidget* sheet, MainState& state, IUpgradeWindow& window)
    : sheet_(sheet), state_(state), window_(window),
      ownInput_(std::make_unique<QtInputBox>(sheet->window())),
      tools_(std::make_unique<DeviceTools>(state, window, *ownInput_)),
      chooseFile_(ChooseFileWithDialog) {
    CreateControls();
}

LocalUpgradePage::~LocalUpgradePage() = default;

void LocalUpgradePage::CreateControls() {
    sheet_->setStyleSheet(QString::fromLatin1(kPageStyle));

    // The window draws the page's picture with the skin.
    Place<TImageControl>(sheet_, QStringLiteral("Image_LocalUpgrade"), 24, 8, 50, 50);
    auto* title = Place<QLabel>(sheet_, QStringLiteral("Label_LocalUpgrade"), 81, 18, 400, 31);
    title->setFont(PixelFont(24));
    title->setText(QStringLiteral("Local Upgrade"));

    for (int row = 1; row <= 3; ++row) {
        const int top = kRowTop + (row - 1) * kRowPitch;
        auto* group = Place<QGroupBox>(sheet_, Numbered("GroupBox", row), kRowLeft, top, kRowWidth,
                                       kRowHeight);
        group->setTitle(QString::fromLatin1(kRowCaptions[row - 1]));
        group->setFont(PixelFont(16));
        auto* edit = Place<QLineEdit>(group, Numbered("Edit_UpgradePath", row), 16, 30, 372, 30);
        edit->setReadOnly(true);
        edit->setFont(PixelFont(15));
        auto* select =
            Place<QPushButton>(group, Numbered("Button_UpgradeSelect", row), 400, 30, 96, 30);
        select->setText(QStringLiteral("Select file"));
        auto* update =
            Place<QPushButton>(group, Numbered("Button_LocalUpgrade", row), 506, 30, 96, 30);
        update->setText(QStringLiteral("Update"));
        for (QPushButton* button : {select, update})
            button->setFont(PixelFont(15));
        // The gauge takes the edit's place while the row burns.
        auto* gauge = Place<TGauge>(group, Numbered("ProgressBar", row), 0, 0, 0, 0);
        gauge->setGeometry(edit->geometry());
        gauge->SetBackColor(QColor(8, 49, 95));
        gauge->SetFillColor(QColor(0, 239, 96));
        gauge->hide();
        auto* status = Place<QLabel>(group, Numbered("Label_UpdateStatus", row), 16, 66, 586, 24);
        status->setFont(PixelFont(15));
        status->setText(QStringLiteral("Upgrading......"));
        status->hide();

        connect(select, &QPushButton::clicked, this,
                [this, row] { Button_UpgradeSelectClick(row); });
        connect(update, &QPushButton::clicked, this,
                [this, row] { Button_LocalUpgradeClick(row); });
    }

    struct Tool {
        const char* name;
        const char* caption;
        void (LocalUpgradePage::*handler)();
    };
    const Tool tools[] = {
        {"Button_QueryVersion", "Query Version", &LocalUpgradePage::Button_QueryVersionClick},
        {"Button_QueryID", "Query ID", &LocalUpgradePage::Button_QueryIDClick},
        {"Button_SetID", "Set ID", &LocalUpgradePage::Button_SetIDClick},
        {"Button3", "Button3", &LocalUpgradePage::Button3Click},
    };
    int top = kRowTop + 12;
    for (const Tool& tool : tools) {
        auto* button = Place<QPushButton>(sheet_, QString::fromLatin1(tool.name), kToolLeft, top,
                                          kToolWidth, 40);
        button->setText(QString::fromLatin1(tool.caption));
        button->setFont(PixelFont(16));
        connect(button, &QPushButton::clicked, this, tool.handler);
        top += 56;
    }
    // The test hook never shows.
    Button("Button3")->hide();
}

QLineEdit* LocalUpgradePage::PathEdit(int row) const {
    return sheet_->findChild<QLineEdit*>(Numbered("Edit_UpgradePath", row));
}

QPushButton* LocalUpgradePage::Button(const char* name) const {
    return sheet_->findChild<QPushButton*>(QString::fromLatin1(name));
}

void LocalUpgradePage::Button_UpgradeSelectClick(int row) {
    const QString file =
        chooseFile_(sheet_->window(), QString::fromLatin1(LocalRowFileFilter(row)));
    if (!file.isEmpty())
        PathEdit(row)->setText(file);
}

void LocalUpgradePage::Button_LocalUpgradeClick(int row) {
    const std::string path = QFile::encodeName(PathEdit(row)->text()).toStdString();
    LocalBurn(state_, window_, row, path);
}

void LocalUpgradePage::RunTool(const std::function<void()>& tool, const char* button) {
    QPushButton* disabled = button != nullptr ? Button(button) : nullptr;
    if (disabled != nullptr)
        disabled->setEnabled(false);
    if (!toolRunning_) {
        toolRunning_ = true;
        tool();
        toolRunning_ = false;
    }
    if (disabled != nullptr)
        disabled->setEnabled(true);
}

void LocalUpgradePage::Button_QueryVersionClick() {
    RunTool([this] { tools_->QueryVersion(); }, "Button_QueryVersion");
}

void LocalUpgradePage::Button_QueryIDClick() {
    RunTool([this] { tools_->QueryId(); }, "Button_QueryID");
}

void LocalUpgradePage::Button_SetIDClick() {
    RunTool([this] { tools_->SetId(); });
}

void LocalUpgradePage::Button3Click() {
    RunTool([this] { tools_->TestBurn(platform::ExecutableDir() + "test.fls"); });
}
