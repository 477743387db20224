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
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

TClickLabel* Caption(QWidget* parent, const char* name, int left, int top, int width, int height,
                     int pixels, const QColor& color) {
    auto* label = Place<TClickLabel>(parent, name, left, top, width, height);
    label->setFont(PixelFont(pixels));
    label->setProperty("layoutPixels", pixels);
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

    auto* internetUpgrade = Caption(this, "Label_InternetUpgrade", 97, 98, 164, 27, 20, kWhite);
    internetUpgrade->setCursor(Qt::PointingHandCursor);
    internetUpgrade->setWordWrap(true);
    internetUpgrade->setProperty("autoSize", true);
    auto* print = Caption(this, "Label_Print", 409, 98, 220, 33, 20, kWhite);
    print->setCursor(Qt::PointingHandCursor);
    print->setWordWrap(true);
    // The third tab's caption, right of the tab's symbol and centred over the rest.
    auto* dtcLookup = Caption(this, "Label_DtcLookup", 721, 103, 212, 27, 20, kWhite);
    dtcLookup->setAlignment(Qt::AlignCenter);
    dtcLookup->setCursor(Qt::PointingHandCursor);
    Caption(this, "Label_Status", 33, 666, 856, 33, 17, QColor(128, 128, 128));

    CreateInternetUpgradePage(kPageTop);
    CreatePrintPage(kPageTop);
    CreateDtcPage(kPageTop);
    CreateHiddenPages();
    CreateUpgradeParts(kPageTop);
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

// The pages without a tab: the manual list here, the local upgrade rows with the maintenance
// buttons in their own page (CreateUpgradeParts).  Each stands on the window as one sheet whose
// origin is the page's (0, 0), hidden until the menu or a shortcut shows it.
void TFormMain::CreateHiddenPages() {
    auto* manual = Place<QWidget>(this, "TabSheet_Manual", 0, kPageTop, 960, 496);
    auto* hint = Place<QLabel>(manual, "Label2", 24, 8, 400, 20);
    hint->setText(QStringLiteral("Double click to open the selected file!"));
    hint->setFont(PixelFont(16));
    SetFontColor(hint, kWhite);
    auto* manualList = Place<QListWidget>(manual, "ManualListBox", 16, 40, 577, 329);
    manualList->setFont(PixelFont(18));
    manualList->setSortingEnabled(false);
    // The list sits on the dark skin like the print page's text pane.
    manualList->setStyleSheet(QStringLiteral(
        "QListWidget { background: rgb(2, 33, 81); color: white; border: 1px solid rgb(55, 105, "
        "170);"
        " border-radius: 4px; padding: 4px; }"
        "QListWidget::item { padding: 4px 6px; }"
        "QListWidget::item:selected { background: rgb(26, 81, 146); color: white; }"));
    manual->hide();
    tabPageControls_[kPageManual] = {manual};
}
