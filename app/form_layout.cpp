// The controls of the main window under their layout names, at their layout places.  The pages'
// controls are placed straight onto the window: page position (x, y) stands at form (x, y + 156),
// right under the row of image tabs where the skin paints the content frame.
#include "app/controls.h"
#include "app/form_look.h"
#include "app/form_main.h"
#include "app/layout_helpers.h"
#include "app/print_page.h"
#include "content/ui/dtc_list_view.h"

#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

TClickLabel* Caption(QWidget* parent, const char* name, int left, int top, int width, int height,
                     int pixels, const QColor& color) {
    auto* label = Place<TClickLabel>(parent, name, left, top, width, height);
    label->setFont(PixelFont(pixels));
    SetFontColor(label, color);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

TImageControl* Image(QWidget* parent, const char* name, int left, int top, int width, int height,
                     bool transparent) {
    auto* image = Place<TImageControl>(parent, name, left, top, width, height);
    image->SetTransparent(transparent);
    return image;
}

namespace {

const QColor kWhite(255, 255, 255);

// A flat title button without glyph: the skin under it shows the symbol.
QPushButton* TitleButton(QWidget* parent, const char* name, int left, int top) {
    auto* button = Place<QPushButton>(parent, name, left, top, 24, 23);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: transparent; border: none; }"
        "QPushButton:hover { background: rgba(255, 255, 255, 40); border-radius: 4px; }"
        "QPushButton:pressed { background: rgba(255, 255, 255, 80); border-radius: 4px; }"));
    return button;
}

} // namespace

void TFormMain::CreateControls() {
    TitleButton(this, "SpeedButtonSetting", 840, 19);
    TitleButton(this, "btn_minimize", 880, 20);
    TitleButton(this, "SpeedButton4", 920, 19);

    const int tabLefts[3] = {13, 323, 637};
    for (int i = 0; i < 3; ++i) {
        const QByteArray name = "TabImgBtn" + QByteArray::number(i);
        tabImages_[i] = Image(this, name.constData(), tabLefts[i], 87, 310, 59, false);
    }
    tabImages_[2]->hide();

    auto* internetUpgrade = Caption(this, "Label_InternetUpgrade", 97, 98, 164, 27, 20, kWhite);
    internetUpgrade->setCursor(Qt::PointingHandCursor);
    internetUpgrade->setWordWrap(true);
    internetUpgrade->setProperty("autoSize", true);
    auto* print = Caption(this, "Label_Print", 409, 98, 220, 33, 20, kWhite);
    print->setCursor(Qt::PointingHandCursor);
    print->setWordWrap(true);
    Caption(this, "Label_Status", 33, 666, 856, 33, 17, QColor(128, 128, 128));

    CreateInternetUpgradePage(kPageTop);
    CreatePrintPage(kPageTop);
    CreateDtcPage(kPageTop);
    CreateHiddenPages();
}

void TFormMain::CreateInternetUpgradePage(int dy) {
    std::vector<QWidget*>& page = tabPageControls_[0];
    page.push_back(Image(this, "Image_bak1", 24, 8 + dy, 50, 50, false));
    page.push_back(Image(this, "Button_InternetUpdate", 371, 428 + dy, 200, 53, true));
    page.push_back(Image(this, "img_internet_status_text", 607, 428 + dy, 200, 53, true));
    page.push_back(Image(this, "img_internet_status_icon", 832, 428 + dy, 54, 53, true));
    page.push_back(Caption(this, "Label_Upgrade", 81, 18 + dy, 99, 31, 24, kWhite));
    const char* steps[] = {"Label_Step1Part1", "Label_Step2", "Label_Step3"};
    const char* stepParts[] = {"Label_Step1Part2", "Label_Step2Part2", "Label_Step3Part2"};
    const int stepTops[] = {80, 170, 260};
    const int partTops[] = {125, 215, 310};
    for (int i = 0; i < 3; ++i)
        page.push_back(Caption(this, steps[i], 81, stepTops[i] + dy, 816, 27, 20, kWhite));
    for (int i = 0; i < 3; ++i)
        page.push_back(Caption(this, stepParts[i], 161, partTops[i] + dy, 728, 27, 20, kWhite));
    auto* checkUpdate = Caption(this, "Label_CheckUpdate", 433, 443 + dy, 133, 27, 20, kWhite);
    checkUpdate->setAlignment(Qt::AlignCenter);
    checkUpdate->setCursor(Qt::PointingHandCursor);
    page.push_back(checkUpdate);
    auto* connected = Caption(this, "Label_InternetConnected", 608, 440 + dy, 182, 27, 20, kWhite);
    connected->setAlignment(Qt::AlignCenter);
    page.push_back(connected);

    auto* panel = Place<QFrame>(this, "PanelGauge", 56, 370 + dy, 828, 44);
    panel->setFrameShape(QFrame::NoFrame);
    auto* gauge = Place<TGauge>(panel, "ProgressBar10", 0, 0, 828, 44);
    gauge->SetMax(100);
    page.push_back(panel);
}

void TFormMain::CreatePrintPage(int dy) {
    printPage_ = std::make_unique<TPrintPage>(*this, dy, tabPageControls_[1]);
}

void TFormMain::CreateDtcPage(int dy) {
    std::vector<QWidget*>& page = tabPageControls_[2];
    page.push_back(Image(this, "imgframe_dtclookup", 0, dy, 960, 496, true));
    page.push_back(Image(this, "Image1", 124, 5 + dy, 223, 39, false));
    page.push_back(Place<TDtcListView>(this, "DTCLookupList", 18, 97 + dy, 921, 390));
    auto* search = Place<QLineEdit>(this, "EditSearch", 132, 14 + dy, 208, 32);
    search->setMaxLength(32);
    page.push_back(search);
}

// The page control with the pages that this layout never shows: the manual list and the local
// upgrade rows with the maintenance buttons.  Their controls exist so that the busy state and
// the start-up lists can work with them.
void TFormMain::CreateHiddenPages() {
    auto* pages = Place<QWidget>(this, "PageControl_Main", -4, 129, 961, 520);
    auto* manual = Place<QWidget>(pages, "TabSheet_Manual", 4, 27, 953, 489);
    Place<QLabel>(manual, "Label2", 24, 8, 400, 20)
        ->setText(QStringLiteral("Double click to open the selected file!"));
    auto* manualList = Place<QListWidget>(manual, "ManualListBox", 16, 40, 577, 329);
    manualList->setFont(PixelFont(18));
    manualList->setSortingEnabled(false);
    manual->hide();

    auto* local = Place<QWidget>(pages, "TabSheet_LocalUpgrade", 4, 27, 953, 489);
    const char* captions[] = {"Upgrade MCU", "Upgrade FLASH", "Upgrade LOGO or LOGO+FLASH"};
    for (int row = 1; row <= 3; ++row) {
        const QByteArray n = QByteArray::number(row);
        auto* group =
            Place<QGroupBox>(local, ("GroupBox" + n).constData(), 16, 16 + (row - 1) * 96, 600, 84);
        group->setTitle(QString::fromLatin1(captions[row - 1]));
        auto* edit = Place<QLineEdit>(group, ("Edit_UpgradePath" + n).constData(), 16, 24, 360, 24);
        edit->setReadOnly(true);
        Place<QPushButton>(group, ("Button_UpgradeSelect" + n).constData(), 392, 24, 90, 26)
            ->setText(QStringLiteral("Select file"));
        Place<QPushButton>(group, ("Button_LocalUpgrade" + n).constData(), 494, 24, 90, 26)
            ->setText(QStringLiteral("Update"));
        auto* gauge = Place<TGauge>(group, ("ProgressBar" + n).constData(), 16, 56, 360, 18);
        gauge->hide();
        auto* status =
            Place<QLabel>(group, ("Label_UpdateStatus" + n).constData(), 16, 56, 560, 20);
        status->setText(QStringLiteral("Upgrading......"));
        status->hide();
    }
    Place<QPushButton>(local, "Button_QueryVersion", 640, 24, 120, 28)
        ->setText(QStringLiteral("Query Version"));
    Place<QPushButton>(local, "Button_QueryID", 640, 64, 120, 28)
        ->setText(QStringLiteral("Query ID"));
    Place<QPushButton>(local, "Button_SetID", 640, 104, 120, 28)->setText(QStringLiteral("Set ID"));
    auto* hook = Place<QPushButton>(local, "Button3", 640, 144, 120, 28);
    hook->setText(QStringLiteral("Button3"));
    hook->hide();
    local->hide();
    pages->hide();
}
