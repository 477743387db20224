#pragma once
// The main window: a borderless, skinned 960 x 700 window that hosts every subsystem.  Its
// private fields live in MainState; its event handlers hand the work to the subsystems.
#include "app/qt_ports.h"
#include "core/main_state.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QSocketNotifier;
class TBitmapFactory;
struct Bitmap;
class TClickLabel;
class TImageControl;
class TPrintPage;
class TSyncUart;
class UploadRecorder;
class DtcPage;
class ManualPage;
class ILanguageView;
class IInternetIndicatorView;
class IUpgradeWindow;
class InternetIndicator;
class LocalUpgradePage;
class PortAccessNotice;

// What the program entry (or a test) decides for the window.
struct FormMainOptions {
    // lang.ini to read; empty means the one beside the executable.
    std::string LangIniPath;
    // Where ShowTextMessage goes; null means a modal message box.
    IMessageBox* MessageBox = nullptr;
    // Ends the process at once for the close button; null means _exit(0).
    std::function<void()> TerminateProcess;
    // Shows the language dialog modally for the settings button.
    std::function<void()> ShowLanguageDialog;
    // Watch the system for devices coming and going.
    bool WatchDevices = true;
    // Where the upload recorder writes; empty means the program's upload file (beside the
    // executable, or in the user's data folder when installed).
    std::string UploadPath;
    // Folder of the shipped DtcLookup/ and manual/; empty means beside the executable, or
    // <prefix>/share/quillon/ when installed.
    std::string DataDir;
};

// Enabling a running timer leaves its count alone, as the desktop's timers do.
void SetTimerEnabled(QTimer* timer, bool enabled);

class TFormMain final : public QWidget {
    Q_OBJECT
public:
    // Form y of a page's top: page position (x, y) stands at form (x, y + kPageTop).
    static constexpr int kPageTop = 156;
    // Pages: the three tabs, then the two pages that the shortcuts and the top band's menu reach.
    static constexpr int kPageManual = 3;
    static constexpr int kPageLocalUpgrade = 4;
    static constexpr int kPageCount = 5;
    explicit TFormMain(FormMainOptions options = {}, QWidget* parent = nullptr);
    ~TFormMain() override;

    MainState& State() { return state_; }
    const MainState& State() const { return state_; }

    // The control of the layout with this name, or null.
    template <class T = QWidget> T* Control(const char* name) const {
        return findChild<T*>(QString::fromLatin1(name));
    }

    // Timers of the window.
    QTimer* UartPrintReadTimer;
    QTimer* TimerCheckInternet;
    QTimer* TimerAnimator;
    QTimer* TimerMonitorWaveRecv;
    QTimer* UartReadDebugTimer;

    void SetUpgradeBusy(int mode);
    void ShowTextMessage(const std::u16string& text);
    void FormCloseQuery(bool& canClose);
    // An upgrade or maintenance operation is running inside a handler.
    bool OperationRunning() const;
    // The page switch for an explicit index (0-2 the tabs, 3 Manual, 4 Local Upgrade); a
    // caption click, the shortcuts and the top band's menu call it too.
    void SwitchTabImgBtn(int index);
    // The top band's menu with the pages that have no tab.
    std::unique_ptr<QMenu> CreatePageMenu();
    // The connection monitor; also run by the device-change notification, and every 2 s while
    // the ScanTool's port is there but cannot be opened (app/port_access_notice.h).
    void CheckConnection();
    // Device-change notification from the platform.
    void DeviceChanged();
    // Shows the internet indicator's state and adjusts its timers.
    void ShowInternetState(bool connected);
    // The print page shows the waveform chart (true) or the text pane (false).
    void ShowWaveChart(bool on);
    TPrintPage& PrintPage() { return *printPage_; }
    // Draws a shared hand-out of the named image over the whole image control.
    bool DrawSkinImage(QLabel* control, const std::string& name);

    // Image name drawn into each tab control, for looking at the tab looks.
    const std::array<std::string, 3>& TabLooks() const { return tabLooks_; }
    const std::vector<QWidget*>& TabPageControls(int page) const {
        return tabPageControls_.at(page);
    }
    const Bitmap* BackgroundBitmap() const { return backgroundBitmap_; }
    // The window's bitmap factory, which the skinned dialogs draw with too.
    TBitmapFactory& Factory() { return *factory_; }
    InternetIndicator& Indicator() { return *indicator_; }
    LocalUpgradePage& LocalUpgrade() { return *localUpgradePage_; }
    // Makes a local row's gauge and status label (1-3), or the internet upgrade's pair (10),
    // the current progress pair.
    void ChooseProgressPair(int mode);
    // How many window moves the top band has started (by the platform or by hand).
    int WindowMovesStarted() const { return windowMovesStarted_; }

    // Handlers of the title buttons.
    void SpeedButton4Click();
    void btn_minimizeClick();
    void SpeedButtonSettingClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Start-up pieces (form_layout.cpp, skin.cpp).
    void CreateControls();
    void CreateInternetUpgradePage(int dy);
    void CreatePrintPage(int dy);
    void CreateDtcPage(int dy);
    void CreateHiddenPages();
    void CreateUpgradeParts(int dy);
    void CreateNavigation();
    void ShowPageMenu(const QPoint& position);
    void CreateTimers();
    void LoadTexts();
    // The captions on the check button and the DTC tab, fitted to them.
    void FitButtonCaptions();
    void CentreOnScreen();
    void SetUpSkin();
    void DrawTab(int index, bool current);
    void ConnectHandlers();
    void StartDeviceWatch();

    void TabImgBtnClick();
    void ImageBackgroundMouseDown(Qt::MouseButton button, QPoint position);
    void ImageBackgroundMouseMove(QPoint position);
    void ConnectPageHandlers();
    void Button_InternetUpdateClick();
    void Button_PrintClick();
    void Button_ClearClick();
    void Button_CopyClick();
    void Button_EditClick();
    void UartPrintReadTimerTimer();
    void TimerCheckInternetTimer();
    void TimerAnimatorTimer();
    void TimerMonitorWaveRecvTimer();
    void UartReadDebugTimerTimer();

    FormMainOptions options_;
    MainState state_;
    QtMessagePump pump_;
    std::unique_ptr<QtMessageBox> messageBox_;
    std::unique_ptr<TSyncUart> uart_;
    std::array<std::unique_ptr<QtStatusLabel>, 4> statusLabels_; // rows 1..3, then Label_Status
    std::unique_ptr<UploadRecorder> uploadRecorder_;
    std::unique_ptr<PortAccessNotice> portAccessNotice_;
    std::unique_ptr<DtcPage> dtcPage_;
    std::unique_ptr<ManualPage> manualPage_;

    std::array<TImageControl*, 3> tabImages_{};
    std::array<std::vector<QWidget*>, kPageCount> tabPageControls_;
    std::array<std::string, 3> tabLooks_;
    std::unique_ptr<TBitmapFactory> factory_;
    Bitmap* backgroundBitmap_ = nullptr; // private hand-out of "png:main"
    QImage backgroundImage_;             // the same, ready for painting

    bool skinApplied_ = false;

    std::unique_ptr<IUpgradeWindow> upgradeWindow_;
    std::unique_ptr<IInternetIndicatorView> indicatorView_;
    std::unique_ptr<InternetIndicator> indicator_;
    std::unique_ptr<LocalUpgradePage> localUpgradePage_;

    // Manual window move when the platform refuses to move the window itself.
    bool manualMove_ = false;
    int windowMovesStarted_ = 0;
    QPoint manualMoveOffset_;

    // A close request that came while an operation ran closes the window once it has ended.
    QTimer* closeWhenIdle_ = nullptr;

    int deviceWatchFd_ = -1;
    QSocketNotifier* deviceNotifier_ = nullptr;
    struct DeviceWatchHolder;
    std::unique_ptr<DeviceWatchHolder> deviceWatch_;
    std::unique_ptr<TPrintPage> printPage_; // goes first: it holds the pane and the state
};
