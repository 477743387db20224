#include "app/print_page.h"

#include "app/form_look.h"
#include "app/form_main.h"
#include "app/layout_helpers.h"
#include "graphics/ui/skin_scroll_bars.h"
#include "reception/ui/print_actions.h"
#include "reception/ui/rich_text_pane.h"
#include "reception/ui/wave_chart.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QToolButton>
#include <QUrl>

namespace {

struct Action {
    const char* button;
    const char* caption;
    const char* look; // "print" gives "png:btn_print_normal" and "png:btn_print_light"
    int left;
    int captionLeft;
    int captionWidth;
};

constexpr std::array<Action, 4> kActions = {{
    {"imgbtn_print", "Label_PrintPrint", "print", 28, 88, 57},
    {"imgbtn_clear", "Label_Clear", "clear", 180, 243, 49},
    {"imgbtn_copy", "Label_Copy", "copy", 332, 393, 57},
    {"imgbtn_edit", "Label_Edit", "edit", 484, 548, 49},
}};

const QColor kPressedCaption(0, 238, 88);

// The save button's picture: a small disk in the chart's colours.
QIcon SaveIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(230, 236, 245), 1));
    p.setBrush(QColor(38, 92, 156));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 236, 245));
    p.drawRect(QRectF(4, 2, 8, 4));     // the shutter
    p.drawRect(QRectF(3.5, 8.5, 9, 5)); // the label
    p.setBrush(QColor(38, 92, 156));
    p.drawRect(QRectF(9, 2.5, 2, 3));
    return QIcon(pixmap);
}

const char kTrackBarStyle[] = R"(
QSlider { background: transparent; }
QSlider::groove:horizontal { height: 6px; background: rgb(8, 49, 95); border-radius: 3px; }
QSlider::handle:horizontal { width: 50px; margin: -6px 0; background: rgb(38, 92, 156);
                             border: 1px solid rgb(120, 160, 210); border-radius: 4px; }
QSlider::handle:horizontal:hover { background: rgb(62, 128, 204); }
)";

} // namespace

TPrintPage::TPrintPage(TFormMain& form, int dy, std::vector<QWidget*>& controls)
    : QObject(&form), form_(form) {
    const QColor white(255, 255, 255);
    for (std::size_t i = 0; i < kActions.size(); ++i) {
        buttons_[i] = Image(&form, kActions[i].button, kActions[i].left, dy, 140, 46, true);
        controls.push_back(buttons_[i]);
    }
    for (std::size_t i = 0; i < kActions.size(); ++i) {
        captions_[i] = Caption(&form, kActions[i].caption, kActions[i].captionLeft, 10 + dy,
                               kActions[i].captionWidth, 25, 16, white);
        captions_[i]->setCursor(Qt::PointingHandCursor);
        captions_[i]->installEventFilter(this);
        controls.push_back(captions_[i]);
    }

    chart_ = Place<TWaveChart>(&form, "Chart1", 24, 64 + dy, 913, 417);
    auto* save = Place<QToolButton>(chart_, "Btn_SaveChart", 887, 3, 23, 22);
    save->setAutoRaise(true);
    save->setIcon(SaveIcon());
    save->setToolTip(QStringLiteral("Save chart curve to file ..."));
    save->setFocusPolicy(Qt::NoFocus);
    connect(save, &QToolButton::clicked, this, &TPrintPage::Btn_SaveChartClick);
    trackBar_ = Place<QSlider>(chart_, "TrackBar_ChartLine", 48, 397, 863, 20);
    trackBar_->setOrientation(Qt::Horizontal);
    trackBar_->setTickPosition(QSlider::NoTicks);
    trackBar_->setFocusPolicy(Qt::NoFocus);
    trackBar_->setRange(0, 0);
    trackBar_->setStyleSheet(QString::fromLatin1(kTrackBarStyle));
    trackBar_->installEventFilter(this);
    connect(chart_, &TWaveChart::clicked, this, &TPrintPage::Chart1Click);
    chart_->hide();
    controls.push_back(chart_);

    sampleStat_ = Place<QLabel>(&form, "StaticText_SampleStat", 44, 450 + dy, 73, 17);
    SetFontColor(sampleStat_, white);
    sampleStat_->setAttribute(Qt::WA_TranslucentBackground);
    controls.push_back(sampleStat_);

    richEdit_ = Place<TRichTextPane>(&form, "RichEdit", 18, 59 + dy, 921, 425);
    controls.push_back(richEdit_);

    reception_ =
        std::make_unique<PrintReception>(form.State(), *richEdit_, static_cast<IWaveView&>(*this));
    chart_->SetModel(&reception_->Wave().Chart());
    open_ = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

TPrintPage::~TPrintPage() = default;

void TPrintPage::SetUpSkin() {
    richEdit_->setFrameShape(QFrame::NoFrame);
    QFont font = richEdit_->font();
    font.setPointSize(12);
    richEdit_->setFont(font);
    QPalette palette = richEdit_->palette();
    palette.setColor(QPalette::Base, QColor(2, 33, 81));
    palette.setColor(QPalette::Text, ColourOf(kDefaultPrintColour));
    richEdit_->setPalette(palette);
    richEdit_->Clear(kDefaultPrintColour);
    ApplySkinScrollBars(richEdit_);

    WaveCapture& wave = reception_->Wave();
    wave.SetDecimalSeparator(QLocale().decimalPoint().at(0).unicode());
    wave.SetupWaveChart();
}

void TPrintPage::Button_PrintClick() {
    PrintReport(*richEdit_, &form_);
}

void TPrintPage::Button_ClearClick() {
    reception_->Clear();
}

void TPrintPage::Button_CopyClick() {
    richEdit_->CopyAll();
}

void TPrintPage::Button_EditClick() {
    EditReport(*richEdit_, &form_, *form_.State().MessageBox, open_);
}

void TPrintPage::Btn_SaveChartClick() {
    const MainState& state = form_.State();
    SaveChart(*chart_, reception_->Wave(), &form_, *state.MessageBox, state.Texts.MsgInfo6);
}

void TPrintPage::Chart1Click(double x, double y) {
    reception_->Wave().Chart1Click(x, y);
}

bool TPrintPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == trackBar_) {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                reception_->Wave().ScrollWaveChart(trackBar_->value());
            return false;
        case QEvent::FocusIn:
            return true; // the track bar never holds the keyboard focus
        case QEvent::Wheel:
            // The wheel moves the thumb; the view follows at once so that they agree.
            trackBar_->event(event);
            reception_->Wave().ScrollWaveChart(trackBar_->value());
            return true;
        default:
            return false;
        }
    }
    for (std::size_t i = 0; i < captions_.size(); ++i) {
        if (watched != captions_[i])
            continue;
        if (event->type() == QEvent::MouseButtonPress)
            ShowPressedLook(i, true);
        else if (event->type() == QEvent::MouseButtonRelease)
            ShowPressedLook(i, false);
    }
    return false;
}

void TPrintPage::ShowPressedLook(std::size_t action, bool pressed) {
    const std::string name =
        std::string("png:btn_") + kActions[action].look + (pressed ? "_light" : "_normal");
    form_.DrawSkinImage(buttons_[action], name);
    QLabel* caption = captions_[action];
    caption->setAttribute(Qt::WA_NoSystemBackground, !pressed);
    caption->setAutoFillBackground(pressed);
    if (pressed) {
        QPalette palette = caption->palette();
        palette.setColor(QPalette::Window, kPressedCaption);
        caption->setPalette(palette);
    }
    caption->update();
}

bool TPrintPage::ChartVisible() const {
    return !chart_->isHidden();
}

void TPrintPage::ShowChart(bool on) {
    chart_->setVisible(on);
    richEdit_->setVisible(!on);
    sampleStat_->setVisible(on);
}

bool TPrintPage::WatchdogEnabled() const {
    return form_.TimerMonitorWaveRecv->isActive();
}

void TPrintPage::SetWatchdogEnabled(bool on) {
    SetTimerEnabled(form_.TimerMonitorWaveRecv, on);
}

void TPrintPage::SetTrackBarMax(int max) {
    trackBar_->setMaximum(max);
}

void TPrintPage::SetTrackBarPosition(int position) {
    trackBar_->setValue(position);
}

void TPrintPage::SetSampleStatCaption(const std::u16string& text) {
    sampleStat_->setText(QString::fromStdU16String(text));
    sampleStat_->adjustSize();
}

void TPrintPage::ChartChanged() {
    chart_->update();
}
