// The main window's start-up sequence, its title buttons, close handling and timers.
#include "app/form_main.h"

#include "app/controls.h"
#include "app/form_language_view.h"
#include "app/form_look.h"
#include "app/layout_helpers.h"
#include "app/local_upgrade_page.h"
#include "app/port_access_notice.h"
#include "app/print_page.h"
#include "content/manual_library.h"
#include "content/ui/dtc_list_view.h"
#include "content/ui/dtc_page.h"
#include "content/ui/manual_page.h"
#include "device/connection_monitor.h"
#include "device/sync_uart.h"
#include "graphics/bitmap_factory.h"
#include "i18n/language_loader.h"
#include "platform/atomic_file.h"
#include "platform/device_watch.h"
#include "platform/paths.h"
#include "platform/pending_files.h"
#include "reception/upload_recorder.h"
#include "upgrade/internet_indicator.h"
#include "upgrade/upgrade_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

void SetTimerEnabled(QTimer* timer, bool enabled) {
    if (enabled && !timer->isActive())
        timer->start();
    else if (!enabled)
        timer->stop();
}

namespace {

// A demo run (tools/run.sh) says so, so it is never taken for a real one.
bool IsDemoRun() {
    const char* demo = std::getenv("QUILLON_DEMO");
    return demo != nullptr && std::strcmp(demo, "1") == 0;
}

// The borderless window shows no title bar, so a demo also carries a badge beside the logo.
void AddDemoBadge(QWidget* form) {
    auto* badge = Place<QLabel>(form, "LabelDemoBadge", 224, 28, 60, 22);
    badge->setText(QStringLiteral("DEMO"));
    badge->setAlignment(Qt::AlignCenter);
    badge->setFont(PixelFont(13));
    badge->setStyleSheet(QStringLiteral("QLabel { color: #10223f; background: #f5b700;"
                                        " border-radius: 4px; font-weight: bold; }"));
    // The top band moves the window; the badge must not swallow that press.
    badge->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QTimer* MakeTimer(QObject* owner, const char* name) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    return timer;
}

} // namespace

struct TFormMain::DeviceWatchHolder {
    platform::DeviceWatch watch;
};

TFormMain::TFormMain(FormMainOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), options_(std::move(options)) {
    // The window and its controls under their layout names.
    setObjectName(QStringLiteral("FormMain"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(956, 737);
    CreateControls();
    UartPrintReadTimer = MakeTimer(this, "UartPrintReadTimer");
    TimerCheckInternet = MakeTimer(this, "TimerCheckInternet");
    TimerAnimator = MakeTimer(this, "TimerAnimator");
    TimerMonitorWaveRecv = MakeTimer(this, "TimerMonitorWaveRecv");
    UartReadDebugTimer = MakeTimer(this, "UartReadDebugTimer");
    closeWhenIdle_ = new QTimer(this);
    closeWhenIdle_->setInterval(50);
    connect(closeWhenIdle_, &QTimer::timeout, this, [this] {
        if (OperationRunning())
            return;
        closeWhenIdle_->stop();
        close();
    });
    ConnectHandlers();
    for (int row = 1; row <= 3; ++row) {
        const QByteArray name = "Label_UpdateStatus" + QByteArray::number(row);
        statusLabels_[row - 1] = std::make_unique<QtStatusLabel>(Control<QLabel>(name.constData()));
    }
    statusLabels_[3] = std::make_unique<QtStatusLabel>(Control<QLabel>("Label_Status"));

    // The window texts start empty; the ports the subsystems reach the window through.
    state_.Texts = StringTable{};
    state_.Pump = &pump_;
    messageBox_ = std::make_unique<QtMessageBox>(this);
    state_.MessageBox = options_.MessageBox ? options_.MessageBox : messageBox_.get();

    state_.CloseRequested = false;
    state_.FlashDownloadSize = 0;
    state_.RomDownloadSize = 0;
    state_.DownloadPhase = 0;
    state_.BusyMode = 0;
    state_.CurrentComPort = -1;
    state_.ChartShown = false;

    // The one serial port: 115200 baud, 8 data bits, no parity, one stop bit; closed for now.
    uart_ = std::make_unique<TSyncUart>();
    uart_->SetPump(&pump_);
    uart_->SetBaudRate(12); // index 12 of the baud table: 115200
    uart_->SetParity(ptNONE);
    uart_->SetDataBits(db8BITS);
    uart_->SetStopBits(sb1BITS);
    state_.Uart = uart_.get();

    // The pages' timers; only the connectivity check runs from the start.
    UartPrintReadTimer->stop();
    UartPrintReadTimer->setInterval(15);
    TimerCheckInternet->setInterval(1000);
    TimerCheckInternet->start();
    TimerAnimator->stop();
    TimerAnimator->setInterval(800);
    TimerMonitorWaveRecv->stop();
    TimerMonitorWaveRecv->setInterval(1000);

    // The waveform buffer.
    state_.WaveBytes = 0;
    state_.WaveCapacity = 8192;
    state_.PrintCodePage = 28605;
    state_.WaveData.assign(static_cast<std::size_t>(state_.WaveCapacity), 0);
    state_.WaveCaptureDone = true;

    UartReadDebugTimer->stop();
    UartReadDebugTimer->setInterval(1000);

    // The upload recorder.
    state_.UploadActive = false;
    state_.UploadBlockCount = 0;
    state_.UploadStream.clear();
    uploadRecorder_ = std::make_unique<UploadRecorder>(state_);
    if (!options_.UploadPath.empty())
        uploadRecorder_->SetOutputPath(options_.UploadPath);
    // A lost upload must not go unnoticed.  The box waits until the tick has finished, since a
    // modal box pumps events and the recorder's next tick would otherwise run inside this one.
    uploadRecorder_->SetSaveFailedHandler([this](int error) {
        const std::string text =
            platform::CannotCreateFileText(uploadRecorder_->OutputPath(), error);
        QMetaObject::invokeMethod(
            this, [this, text] { ShowTextMessage(QString::fromStdString(text).toStdU16String()); },
            Qt::QueuedConnection);
    });

    // The DTC list and the manual list, then the texts.
    const std::string dataDir =
        options_.DataDir.empty() ? platform::ShippedDataDir() : options_.DataDir;
    dtcPage_ =
        std::make_unique<DtcPage>(Control<TDtcListView>("DTCLookupList"),
                                  Control<QLineEdit>("EditSearch"), state_.MessageBox, dataDir);
    dtcPage_->LoadDtcList();
    manualPage_ =
        std::make_unique<ManualPage>(Control<QListWidget>("ManualListBox"), ManualFolder(dataDir));
    manualPage_->LoadManualList();
    LoadTexts();

    setWindowTitle(IsDemoRun() ? QStringLiteral("QUILLON (demo)") : QStringLiteral("QUILLON"));
    if (IsDemoRun())
        AddDemoBadge(this);
    QCoreApplication::setApplicationName(QStringLiteral("QUILLON"));

    // Skin, page layout and tab looks; the window is centred at its final size.
    SetUpSkin();
    CentreOnScreen();

    // The first connection attempt, then watch for devices coming and going.
    CheckConnection();
    if (options_.WatchDevices)
        StartDeviceWatch();
}

TFormMain::~TFormMain() {
    delete deviceNotifier_;
    // The subsystems hold pointers into the state; none of them outlives the window.
    state_.CurrentGauge = nullptr;
    state_.CurrentStatusLabel = nullptr;
    state_.Uart = nullptr;
    if (factory_)
        factory_->FreeBitmap(backgroundBitmap_);
}

void TFormMain::CentreOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TFormMain::LoadTexts() {
    FormLanguageView view(this, [this](const QWidget* control) {
        for (const auto& page : tabPageControls_)
            for (const QWidget* c : page)
                if (c == control && !skinApplied_)
                    return kPageTop;
        return 0;
    });
    const std::string path = options_.LangIniPath.empty() ? LangIniPath() : options_.LangIniPath;
    const std::string error = LoadLanguage(state_, view, path);
    if (!error.empty())
        throw std::runtime_error(error);
    portAccessNotice_ = std::make_unique<PortAccessNotice>(
        this, ReadPortAccessTexts(path, state_.LanguageNumber), [this] { CheckConnection(); },
        [this](const std::u16string& text) { ShowTextMessage(text); });
    for (QLabel* label : findChildren<QLabel*>())
        FitCaption(label);
    FitButtonCaptions();
}

void TFormMain::ConnectHandlers() {
    connect(UartPrintReadTimer, &QTimer::timeout, this, &TFormMain::UartPrintReadTimerTimer);
    connect(TimerCheckInternet, &QTimer::timeout, this, &TFormMain::TimerCheckInternetTimer);
    connect(TimerAnimator, &QTimer::timeout, this, &TFormMain::TimerAnimatorTimer);
    connect(TimerMonitorWaveRecv, &QTimer::timeout, this, &TFormMain::TimerMonitorWaveRecvTimer);
    connect(UartReadDebugTimer, &QTimer::timeout, this, &TFormMain::UartReadDebugTimerTimer);

    connect(Control<QPushButton>("SpeedButton4"), &QPushButton::clicked, this,
            &TFormMain::SpeedButton4Click);
    connect(Control<QPushButton>("btn_minimize"), &QPushButton::clicked, this,
            &TFormMain::btn_minimizeClick);
    connect(Control<QPushButton>("SpeedButtonSetting"), &QPushButton::clicked, this,
            &TFormMain::SpeedButtonSettingClick);
    for (TImageControl* tab : tabImages_)
        connect(tab, &TClickLabel::clicked, this, &TFormMain::TabImgBtnClick);
    connect(Control<TClickLabel>("Label_InternetUpgrade"), &TClickLabel::clicked, this,
            [this] { SwitchTabImgBtn(0); });
    connect(Control<TClickLabel>("Label_Print"), &TClickLabel::clicked, this,
            [this] { SwitchTabImgBtn(1); });
    ConnectPageHandlers();
    CreateNavigation();
}

// The close button of the skin ends the process at once: no close query, no restart.  A download
// under way is not unwound, so its temporary file is removed here.
void TFormMain::SpeedButton4Click() {
    platform::RemovePendingFiles();
    QCoreApplication::quit();
    if (options_.TerminateProcess) {
        options_.TerminateProcess();
        return;
    }
    std::fflush(nullptr);
    ::_exit(0);
}

void TFormMain::btn_minimizeClick() {
    showMinimized();
}

void TFormMain::SpeedButtonSettingClick() {
    if (options_.ShowLanguageDialog)
        options_.ShowLanguageDialog();
}

void TFormMain::FormCloseQuery(bool& canClose) {
    canClose = true;
    state_.CloseRequested = true;
}

bool TFormMain::OperationRunning() const {
    return state_.BusyMode != 0 || (localUpgradePage_ && localUpgradePage_->ToolRunning());
}

void TFormMain::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    FormCloseQuery(canClose);
    // A running operation sees CloseRequested at its next step and ends through its usual end
    // (busy state left, its message shown); the window stays until then.
    if (canClose && OperationRunning()) {
        closeWhenIdle_->start();
        event->ignore();
        return;
    }
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TFormMain::ShowTextMessage(const std::u16string& text) {
    state_.MessageBox->ShowTextMessage(text);
}

void TFormMain::SetUpgradeBusy(int mode) {
    if (mode != -1)
        state_.BusyMode = static_cast<std::uint32_t>(mode);
    const bool enabled = state_.Uart && state_.Uart->Active() && state_.BusyMode == 0;

    for (const char* name : {"Button_LocalUpgrade1", "Button_LocalUpgrade2", "Button_LocalUpgrade3",
                             "Button_InternetUpdate", "Label_CheckUpdate", "Button_UpgradeSelect1",
                             "Button_UpgradeSelect2", "Button_UpgradeSelect3"})
        Control<QWidget>(name)->setEnabled(enabled);

    for (std::uint32_t row = 1; row <= 3; ++row) {
        const QByteArray n = QByteArray::number(row);
        const bool busyRow = state_.BusyMode == row;
        Control<QWidget>(("Label_UpdateStatus" + n).constData())->setVisible(busyRow);
        Control<QWidget>(("Edit_UpgradePath" + n).constData())->setVisible(!busyRow);
        Control<QWidget>(("ProgressBar" + n).constData())->setVisible(busyRow);
    }

    ChooseProgressPair(static_cast<int>(state_.BusyMode));
    if (state_.CurrentGauge)
        state_.CurrentGauge->SetPosition(0);

    for (const char* name : {"Button_QueryID", "Button_SetID", "Button_QueryVersion"})
        Control<QWidget>(name)->setEnabled(enabled);
}

void TFormMain::ChooseProgressPair(int mode) {
    if (mode >= 1 && mode <= 3) {
        const QByteArray n = QByteArray::number(mode);
        state_.CurrentGauge = Control<TGauge>(("ProgressBar" + n).constData());
        state_.CurrentStatusLabel = statusLabels_[static_cast<std::size_t>(mode - 1)].get();
    } else if (mode == 10) {
        state_.CurrentGauge = Control<TGauge>("ProgressBar10");
        state_.CurrentStatusLabel = statusLabels_[3].get();
    }
}

void TFormMain::CheckConnection() {
    const ConnectionResult result = ::CheckConnection(state_, *upgradeWindow_);
    if (portAccessNotice_)
        portAccessNotice_->AfterCheck(result);
}

void TFormMain::DeviceChanged() {
    CheckConnection();
}

void TFormMain::StartDeviceWatch() {
    deviceWatch_ = std::make_unique<DeviceWatchHolder>();
    if (!deviceWatch_->watch.Start() || deviceWatch_->watch.Fd() < 0) {
        deviceWatch_.reset();
        return;
    }
    deviceNotifier_ = new QSocketNotifier(deviceWatch_->watch.Fd(), QSocketNotifier::Read, this);
    connect(deviceNotifier_, &QSocketNotifier::activated, this, [this] {
        if (deviceWatch_->watch.DrainChanged())
            DeviceChanged();
    });
}
