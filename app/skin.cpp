// The skin: background, tab looks, page switching, the window move by its top band, and the
// print page's chart-or-text switch.
#include "app/controls.h"
#include "app/first_paint.h"
#include "app/form_look.h"
#include "app/form_main.h"
#include "app/print_page.h"
#include "graphics/bitmap_factory.h"
#include "graphics/ui/qt_bitmap.h"
#include "graphics/ui/qt_image_control.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <cstdio>

namespace {

constexpr int kDragBand = 75; // the top band that moves the window

std::string TabLookName(int index, bool current) {
    char name[32];
    std::snprintf(name, sizeof name, current ? "png:mbutton_%db" : "png:mbutton_%da", index + 1);
    return name;
}

void ShowControls(const std::vector<QWidget*>& controls, bool visible) {
    for (QWidget* control : controls) {
        const QPoint place = control->pos();
        control->setVisible(visible);
        control->move(place);
    }
}

} // namespace

bool TFormMain::DrawSkinImage(QLabel* control, const std::string& name) {
    Bitmap* image = factory_->LoadBitmapA(name, true);
    if (!image)
        return false; // the control keeps its previous pixels
    QtImageControl* picture = QtImageControl::Of(control);
    factory_->DrawBitmap(image, 0, 0, picture->PictureCanvas(), 0, 0, control->width(),
                         control->height());
    picture->Invalidate();
    factory_->FreeBitmap(image);
    return true;
}

void TFormMain::DrawTab(int index, bool current) {
    const std::string name = TabLookName(index, current);
    if (DrawSkinImage(tabImages_[index], name))
        tabLooks_[index] = name;
}

void TFormMain::SetUpSkin() {
    // Qt paints every window through an off-screen buffer already.
    factory_ = std::make_unique<TBitmapFactory>();
    factory_->CacheLimit = 16;

    // Tabs: hand cursor, their index as tag, and their looks with tab 0 current.
    for (int i = 0; i < 3; ++i) {
        tabImages_[i]->setCursor(Qt::PointingHandCursor);
        tabImages_[i]->setProperty("tag", i);
        DrawTab(i, i == state_.CurrentTab);
    }
    state_.CurrentTab = 0;

    // The pages' controls stand on the window already; only the first page shows.
    skinApplied_ = true;
    ShowControls(tabPageControls_[1], false);
    ShowControls(tabPageControls_[2], false);

    // A pill-shaped gauge.
    auto* panel = Control<QWidget>("PanelGauge");
    QPainterPath pill;
    pill.addRoundedRect(QRectF(0, 0, panel->width(), panel->height()), panel->height() / 2.0,
                        panel->height() / 2.0);
    panel->setMask(QRegion(pill.toFillPolygon().toPolygon()));
    auto* gauge = Control<TGauge>("ProgressBar10");
    gauge->SetBackColor(QColor(8, 49, 95));
    gauge->SetFillColor(QColor(0, 239, 96));

    // Image buttons.
    Activate(*factory_, Control<QLabel>("Button_InternetUpdate"), "png:checkbtn_out",
             "png:checkbtn_ovr", "png:checkbtn_dwn", nullptr);
    for (const char* name : {"print", "clear", "copy", "edit"}) {
        const std::string control = std::string("imgbtn_") + name;
        const std::string normal = std::string("png:btn_") + name + "_normal";
        const std::string hover = std::string("png:btn_") + name + "_light";
        Activate(*factory_, Control<QLabel>(control.c_str()), normal.c_str(), hover.c_str(),
                 nullptr, nullptr);
    }
    // The layout's embedded pictures.
    DrawSkinImage(Control<QLabel>("Image_bak1"), "jpg:image_bak1");
    DrawSkinImage(Control<QLabel>("Image1"), "jpg:image1");
    DrawSkinImage(Control<QLabel>("Image_LocalUpgrade"), "jpg:image_bak1");

    // The DTC page's frame, with the factory's key colour left out.
    auto* frame = Control<TImageControl>("imgframe_dtclookup");
    frame->SetTransparent(true);
    if (Bitmap* picture = factory_->LoadBitmapA("png:frame_dtclookup", false)) {
        QtImageControl* control = QtImageControl::Of(frame);
        factory_->DrawBitmap(picture, 0, 0, control->PictureCanvas(), 0, 0, frame->width(),
                             frame->height());
        control->Invalidate();
        factory_->FreeBitmap(picture);
    }
    const Rgb key = ColorToRgb(factory_->KeyColor);
    frame->SetTransparentColor(qRgb(key.Red, key.Green, key.Blue));

    backgroundBitmap_ = factory_->LoadBitmapA("png:main", false);
    backgroundImage_ = ToQImage(backgroundBitmap_);

    auto* search = Control<QLineEdit>("EditSearch");
    search->setFrame(false);
    search->setFixedHeight(20);
    search->setFont(PixelFont(20, search->font().family()));
    search->setStyleSheet(
        QStringLiteral("QLineEdit { border: none; background: rgb(26, 81, 146); color: white; }"));
    // The text pane's look and the chart's set-up.
    printPage_->SetUpSkin();

    setFixedSize(960, 700);
    ShowInternetState(false);
}

void TFormMain::TabImgBtnClick() {
    if (auto* tab = qobject_cast<QWidget*>(sender()))
        SwitchTabImgBtn(tab->property("tag").toInt());
}

void TFormMain::SwitchTabImgBtn(int index) {
    // A maintenance tool talking to the ScanTool keeps its page, as an upgrade does.
    if (OperationRunning() || index == state_.CurrentTab || index < 0 || index >= kPageCount)
        return;
    const int left = state_.CurrentTab;
    // The pages without a tab leave every tab in its other look.
    constexpr int kTabCount = 3;
    if (index < kTabCount)
        DrawTab(index, true);
    if (left < kTabCount)
        DrawTab(left, false);

    const char* captions[kTabCount] = {"Label_InternetUpgrade", "Label_Print", "Label_DtcLookup"};
    if (index < kTabCount)
        SetFontColor(Control<QWidget>(captions[index]), SystemWindowColor());
    if (left < kTabCount)
        SetFontColor(Control<QWidget>(captions[left]), SystemScrollBarColor());

    ShowControls(tabPageControls_[index], true);
    ShowControls(tabPageControls_[left], false);
    state_.CurrentTab = index;

    SetTimerEnabled(TimerAnimator, state_.InternetConnected && state_.CurrentTab == 0);
    SetTimerEnabled(TimerCheckInternet, state_.CurrentTab == 0);
    SetTimerEnabled(UartPrintReadTimer, state_.CurrentTab == 1);
    SetTimerEnabled(UartReadDebugTimer, state_.CurrentTab == 0);
    if (state_.CurrentTab == 1) {
        ShowWaveChart(state_.ChartShown);
        // While a capture runs the call above finds nothing to change, yet the page's controls
        // have all just been shown: the text pane must not stay up under the chart.
        Control<QWidget>("RichEdit")->setVisible(!state_.ChartShown);
        Control<QWidget>("StaticText_SampleStat")->setVisible(state_.ChartShown);
    }
}

void TFormMain::ShowWaveChart(bool on) {
    printPage_->ShowWaveChart(on);
}

void TFormMain::paintEvent(QPaintEvent*) {
    {
        QPainter painter(this);
        if (backgroundImage_.isNull())
            painter.fillRect(rect(), QColor(8, 33, 66));
        else
            painter.drawImage(QRect(0, 0, width(), height()), backgroundImage_,
                              QRect(0, 0, width(), height()));
    }
    ReportFirstPaint();
}

void TFormMain::ImageBackgroundMouseDown(Qt::MouseButton button, QPoint position) {
    if (button != Qt::LeftButton || position.y() >= kDragBand)
        return;
    ++windowMovesStarted_;
    QWindow* window = windowHandle();
    if (window && window->startSystemMove())
        return;
    // The platform refused: follow the mouse ourselves until the button is released.
    manualMove_ = true;
    manualMoveOffset_ = position;
    grabMouse();
}

void TFormMain::ImageBackgroundMouseMove(QPoint position) {
    setCursor(position.y() < kDragBand ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TFormMain::mousePressEvent(QMouseEvent* event) {
    ImageBackgroundMouseDown(event->button(), event->position().toPoint());
}

void TFormMain::mouseMoveEvent(QMouseEvent* event) {
    if (manualMove_) {
        move(event->globalPosition().toPoint() - manualMoveOffset_);
        return;
    }
    ImageBackgroundMouseMove(event->position().toPoint());
}

void TFormMain::mouseReleaseEvent(QMouseEvent* event) {
    if (manualMove_ && event->button() == Qt::LeftButton) {
        manualMove_ = false;
        releaseMouse();
    }
}
