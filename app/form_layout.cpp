// The controls of the main window under their layout names, at their layout places.  The pages'
// controls are placed straight onto the window: page position (x, y) stands at form (x, y + 156),
// right under the row of image tabs where the skin paints the content frame.
#include "app/controls.h"
#include "app/form_look.h"
#include "app/form_main.h"
#include "content/ui/dtc_list_view.h"

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTextEdit>
#include <QToolButton>

#include <type_traits>

namespace {

const QColor kWhite(255, 255, 255);

template <class T>
T* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    // Captions come from lang.ini, which the user may edit: "<b>" in a translation is text.
    if constexpr (std::is_base_of_v<QLabel, T>)
        control->setTextFormat(Qt::PlainText);
    return control;
}

// A transparent Unicode label: only its text is drawn, the skin shows through.
TClickLabel* Caption(QWidget* parent, const char* name, int left, int top, int width, int height,
                     int pixels, const QColor& color) {
    auto* label = Place<TClickLabel>(parent, name, left, top, width, height);
    label->setFont(PixelFont(pixels));
    label->setProperty("layoutPixels", pixels);
    SetFontColor(label, color);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

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

TImageControl* Image(QWidget* parent, const char* name, int left, int top, int width, int height,
                     bool transparent) {
    auto* image = Place<TImageControl>(parent, name, left, top, width, height);
    image->SetTransparent(transparent);
    return image;
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
    std::vector<QWidget*>& page = tabPageControls_[1];
    const char* buttons[] = {"imgbtn_print", "imgbtn_clear", "imgbtn_copy", "imgbtn_edit"};
    const int buttonLefts[] = {28, 180, 332, 484};
    for (int i = 0; i < 4; ++i)
        page.push_back(Image(this, buttons[i], buttonLefts[i], dy, 140, 46, true));
    const char* labels[] = {"Label_PrintPrint", "Label_Clear", "Label_Copy", "Label_Edit"};
    const int labelLefts[] = {88, 243, 393, 548};
    const int labelWidths[] = {57, 49, 57, 49};
    for (int i = 0; i < 4; ++i) {
        auto* label =
            Caption(this, labels[i], labelLefts[i], 10 + dy, labelWidths[i], 25, 16, kWhite);
        label->setCursor(Qt::PointingHandCursor);
        page.push_back(label);
    }

    auto* richEdit = Place<QTextEdit>(this, "RichEdit", 18, 59 + dy, 921, 425);
    richEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    richEdit->setLineWrapMode(QTextEdit::NoWrap);
    page.push_back(richEdit);

    // The waveform chart with its save button and track bar; its drawing comes with the
    // waveform capture.
    auto* chart = Place<QFrame>(this, "Chart1", 24, 64 + dy, 913, 417);
    chart->setAutoFillBackground(true);
    QPalette chartPalette = chart->palette();
    chartPalette.setColor(QPalette::Window, QColor(2, 33, 81));
    chart->setPalette(chartPalette);
    auto* save = Place<QToolButton>(chart, "Btn_SaveChart", 887, 3, 23, 22);
    save->setAutoRaise(true);
    save->setToolTip(QStringLiteral("Save chart curve to file ..."));
    auto* track = Place<QSlider>(chart, "TrackBar_ChartLine", 48, 397, 863, 20);
    track->setOrientation(Qt::Horizontal);
    track->setTickPosition(QSlider::NoTicks);
    track->setFocusPolicy(Qt::NoFocus);
    track->setRange(0, 0);
    chart->hide();
    page.push_back(chart);

    auto* stat = Place<QLabel>(this, "StaticText_SampleStat", 44, 450 + dy, 73, 17);
    SetFontColor(stat, kWhite);
    page.push_back(stat);
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
