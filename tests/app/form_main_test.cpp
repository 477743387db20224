// The main window on the offscreen platform: start-up state, tab switching, the busy state of
// the upgrade controls, the top-band move, closing, and the connection hooks.
#include "app/controls.h"
#include "app/form_look.h"
#include "app/form_main.h"
#include "app/qt_ports.h"
#include "device/sync_uart.h"
#include "graphics/bitmap_factory.h"
#include "graphics/ui/qt_bitmap.h"
#include "graphics/ui/qt_image_control.h"
#include "tests/app/form_test_support.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sim_harness.h"
#include "tests/support/window_doubles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;
using quillon::test::ScopedSimEnvironment;
using quillon::test::SimHarness;
using namespace formtest;

namespace {

class FormMainTest : public ::testing::Test {
protected:
    FormMainTest() : env_((scratch_.Path() / "dev").string(), (scratch_.Path() / "sys").string()) {}

    std::unique_ptr<TFormMain> MakeForm(const std::string& langIni = {}, bool watch = false) {
        if (!langIni.empty())
            std::ofstream(IniPath(), std::ios::binary) << langIni;
        FormMainOptions options;
        options.LangIniPath = IniPath();
        options.MessageBox = &messages_;
        options.TerminateProcess = [this] { ++terminations_; };
        options.ShowLanguageDialog = [this] { ++dialogShown_; };
        options.WatchDevices = watch;
        options.UploadPath = (scratch_.Path() / "upload.dat").string();
        auto form = std::make_unique<TFormMain>(std::move(options));
        form->show();
        return form;
    }
    std::string IniPath() const { return (scratch_.Path() / "lang.ini").string(); }

    ScratchDir scratch_;
    ScopedSimEnvironment env_;
    RecordingMessages messages_;
    int terminations_ = 0;
    int dialogShown_ = 0;
};

TEST_F(FormMainTest, StartsWithTheInitialStateTimersAndLooks) {
    auto form = MakeForm();
    const MainState& s = form->State();

    EXPECT_EQ(s.CurrentComPort, 0); // looked up once, nothing found
    EXPECT_EQ(s.BusyMode, 0u);
    EXPECT_EQ(s.CurrentTab, 0);
    EXPECT_EQ(s.WaveBytes, 0);
    EXPECT_EQ(s.WaveCapacity, 8192);
    EXPECT_EQ(s.WaveData.size(), 8192u);
    EXPECT_TRUE(s.WaveCaptureDone);
    EXPECT_EQ(s.PrintCodePage, 28605u);
    EXPECT_FALSE(s.CloseRequested || s.InternetConnected || s.ChartShown || s.UploadActive);
    EXPECT_EQ(s.UploadBlockCount, 0);
    EXPECT_TRUE(s.UploadStream.empty());
    EXPECT_EQ(s.LanguageNumber, 2);
    EXPECT_EQ(s.CurrentGauge, nullptr);
    EXPECT_EQ(s.CurrentStatusLabel, nullptr);
    EXPECT_EQ(s.Pump != nullptr && s.MessageBox == &messages_, true);
    ASSERT_NE(s.Uart, nullptr);
    EXPECT_FALSE(s.Uart->Active());
    EXPECT_EQ(s.Uart->ControlBlock().BaudRate, 115200u);
    EXPECT_EQ(s.Uart->Parity(), ptNONE);
    EXPECT_EQ(s.Uart->DataBits(), db8BITS);
    EXPECT_EQ(s.Uart->StopBits(), sb1BITS);
    EXPECT_EQ(s.Texts.MsgInfo2, u"Upgrade finished!");

    // The skin set-up shows the internet state as offline, which sets the 5 s check.
    struct TimerCase {
        const char* name;
        int interval;
        bool active;
    };
    for (const TimerCase& t :
         {TimerCase{"UartPrintReadTimer", 15, false}, TimerCase{"TimerCheckInternet", 1000, true},
          TimerCase{"TimerAnimator", 800, false}, TimerCase{"TimerMonitorWaveRecv", 1000, false},
          TimerCase{"UartReadDebugTimer", 1000, false}}) {
        auto* timer = form->findChild<QTimer*>(t.name);
        ASSERT_NE(timer, nullptr) << t.name;
        EXPECT_EQ(timer->interval(), t.interval) << t.name;
        EXPECT_EQ(timer->isActive(), t.active) << t.name;
    }

    EXPECT_EQ(form->size(), QSize(960, 700));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->windowTitle(), "QUILLON");
    EXPECT_EQ(Text(form->Control("Label_Status")), "Please connect the device to the computer");
    EXPECT_EQ(Text(form->Control("Label_InternetConnected")), "Internet Disconnected");
    EXPECT_EQ(form->TabLooks(),
              (std::array<std::string, 3>{"png:mbutton_1b", "png:mbutton_2a", "png:mbutton_3a"}));
    EXPECT_TRUE(ShowsImage(*form, "TabImgBtn0", "png:mbutton_1b"));
    EXPECT_TRUE(ShowsImage(*form, "TabImgBtn1", "png:mbutton_2a"));
    EXPECT_TRUE(ShowsImage(*form, "img_internet_status_text", "png:internet_connected_text0"));
    ASSERT_NE(form->BackgroundBitmap(), nullptr);
    EXPECT_EQ(form->BackgroundBitmap()->Width, 960);
    EXPECT_EQ(form->Factory().CacheLimit, 16);
    for (QWidget* c : form->TabPageControls(0))
        EXPECT_TRUE(Shown(c)) << c->objectName().toStdString();
    for (int page : {1, 2})
        for (QWidget* c : form->TabPageControls(page))
            EXPECT_FALSE(Shown(c)) << c->objectName().toStdString();
    // The third tab shows with its caption; the pages without a tab stay hidden.
    EXPECT_TRUE(Shown(form->Control("TabImgBtn2")));
    EXPECT_TRUE(ShowsImage(*form, "TabImgBtn2", "png:mbutton_3a"));
    EXPECT_EQ(Text(form->Control("Label_DtcLookup")), "DTC Lookup");
    for (int page : {TFormMain::kPageManual, TFormMain::kPageLocalUpgrade})
        for (QWidget* c : form->TabPageControls(page))
            EXPECT_FALSE(Shown(c)) << c->objectName().toStdString();

    // A missing lang.ini is created as a byte-order mark and one empty line.
    std::ifstream ini(IniPath(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_EQ(bytes, std::string("\xFF\xFE\x0D\x00\x0A\x00", 6));
}

TEST_F(FormMainTest, TitleSaysWhenTheRunIsADemo) {
    for (const auto& [value, title] : {std::pair<const char*, const char*>{"1", "QUILLON (demo)"},
                                       {"0", "QUILLON"},
                                       {"", "QUILLON"}}) {
        quillon::test::ScopedEnv demo("QUILLON_DEMO", std::string(value));
        auto form = MakeForm();
        EXPECT_EQ(form->windowTitle(), title) << "QUILLON_DEMO=" << value;
        // The borderless window has no title bar: a demo shows a badge beside the logo too.
        auto* badge = form->findChild<QLabel*>(QStringLiteral("LabelDemoBadge"));
        EXPECT_EQ(badge != nullptr, std::string(value) == "1") << "QUILLON_DEMO=" << value;
        if (badge != nullptr) {
            EXPECT_EQ(badge->text(), QStringLiteral("DEMO"));
        }
    }
}

TEST_F(FormMainTest, ControlsStandAtTheirLayoutPlaces) {
    auto form = MakeForm();
    struct Place {
        const char* name;
        QRect rect;
    };
    // Page controls stand 156 pixels below their page position.
    for (const Place& p : {
             Place{"SpeedButtonSetting", {840, 19, 24, 23}},
             Place{"btn_minimize", {880, 20, 24, 23}},
             Place{"SpeedButton4", {920, 19, 24, 23}},
             Place{"TabImgBtn0", {13, 87, 310, 59}},
             Place{"TabImgBtn1", {323, 87, 310, 59}},
             Place{"Label_Print", {440, 100, 220, 33}}, // placed for English
             Place{"Label_Status", {33, 666, 856, 33}},
             Place{"Button_InternetUpdate", {371, 584, 200, 53}},
             // Placed for English, then moved with the page and centred on the button's height.
             Place{"Label_CheckUpdate", {420, 597, 133, 27}},
             // The English anchor (648, 582) would let the text run off the plate's right end.
             Place{"Label_InternetConnected", {616, 597, 182, 27}},
             Place{"PanelGauge", {56, 526, 828, 44}},
             Place{"ProgressBar10", {0, 0, 828, 44}},
             Place{"imgbtn_edit", {484, 156, 140, 46}},
             Place{"Label_Edit", {548, 166, 49, 25}},
             Place{"Chart1", {24, 220, 913, 417}},
             Place{"Btn_SaveChart", {887, 3, 23, 22}},
             Place{"TrackBar_ChartLine", {48, 397, 863, 20}},
             Place{"RichEdit", {18, 215, 921, 425}},
             Place{"imgframe_dtclookup", {0, 156, 960, 496}},
             Place{"DTCLookupList", {18, 253, 921, 390}},
             Place{"EditSearch", {132, 170, 208, 20}},
             Place{"TabSheet_Manual", {0, 156, 960, 496}},
             Place{"ManualListBox", {16, 40, 577, 329}},
             Place{"TabSheet_LocalUpgrade", {0, 156, 960, 496}},
             Place{"TabImgBtn2", {637, 87, 310, 59}},
         }) {
        QWidget* control = form->Control(p.name);
        ASSERT_NE(control, nullptr) << p.name;
        EXPECT_EQ(control->geometry(), p.rect) << p.name;
    }
    // While a local row is busy its gauge stands exactly where its path edit is.
    for (int row = 1; row <= 3; ++row) {
        const QByteArray n = QByteArray::number(row);
        EXPECT_EQ(form->Control(("ProgressBar" + n).constData())->geometry(),
                  form->Control(("Edit_UpgradePath" + n).constData())->geometry());
    }
}

TEST_F(FormMainTest, CaptionPlacesFollowTheLanguage) {
    struct Case {
        const char* val;
        QPoint internetUpgrade, print, checkUpdate;
    };
    for (const Case& c :
         {Case{"1", {120, 105}, {450, 105}, {433, 597}}, Case{"6", {97, 98}, {409, 98}, {430, 597}},
          // Italian's anchor (415) would put the English default over the button's symbol.
          Case{"0x0C", {110, 90}, {440, 100}, {427, 597}},
          Case{"13", {97, 98}, {409, 98}, {433, 597}}}) {
        auto form = MakeForm(std::string("[set]\r\nval=") + c.val + "\r\n");
        EXPECT_EQ(form->Control("Label_InternetUpgrade")->pos(), c.internetUpgrade) << c.val;
        EXPECT_EQ(form->Control("Label_Print")->pos(), c.print) << c.val;
        EXPECT_EQ(form->Control("Label_CheckUpdate")->pos(), c.checkUpdate) << c.val;
    }
}

TEST_F(FormMainTest, LongCaptionsStayWhole) {
    auto form = MakeForm("[set]\r\nval=2\r\n[en]\r\n"
                         "LabelCheckUpdate=Look for newer firmware\r\n"
                         "LabelInternetUpgrade=Upgrade over the Internet connection\r\n");
    // A single-line label takes a smaller font rather than losing the ends of its text.
    auto* check = form->Control<QLabel>("Label_CheckUpdate");
    EXPECT_EQ(check->width(), 133);
    EXPECT_LE(check->fontMetrics().horizontalAdvance(check->text()), check->width());
    EXPECT_LT(QFontInfo(check->font()).pixelSize(), 20);
    // The first tab's caption keeps its width and wraps onto more lines.
    auto* tab = form->Control<QLabel>("Label_InternetUpgrade");
    EXPECT_EQ(tab->width(), 164);
    EXPECT_GT(tab->height(), 27);
}

TEST_F(FormMainTest, CaptionsFromLangIniAreShownAsTheyStand) {
    auto form = MakeForm("[set]\r\nval=2\r\n[en]\r\nLabelPrint=<b>Print</b>\r\n"
                         "LabelStatus=a &lt; b\r\nLabelInternetDisconnected=<i>off</i>\r\n");
    EXPECT_EQ(Text(form->Control("Label_Print")), "<b>Print</b>");
    EXPECT_EQ(Text(form->Control("Label_Status")), "a &lt; b");
    EXPECT_EQ(Text(form->Control("Label_InternetConnected")), "<i>off</i>");
    // Every label of the window, also those that show status and progress texts later.
    for (const QLabel* label : form->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

TEST_F(FormMainTest, TabSwitchRedrawsLooksShowsThePageAndSwitchesTimers) {
    auto form = MakeForm();
    QTest::mouseClick(form->Control("TabImgBtn1"), Qt::LeftButton);

    EXPECT_EQ(form->State().CurrentTab, 1);
    EXPECT_EQ(form->TabLooks(),
              (std::array<std::string, 3>{"png:mbutton_1a", "png:mbutton_2b", "png:mbutton_3a"}));
    EXPECT_TRUE(ShowsImage(*form, "TabImgBtn0", "png:mbutton_1a"));
    EXPECT_TRUE(ShowsImage(*form, "TabImgBtn1", "png:mbutton_2b"));
    for (QWidget* c : form->TabPageControls(0))
        EXPECT_FALSE(Shown(c)) << c->objectName().toStdString();
    EXPECT_TRUE(Shown(form->Control("imgbtn_print")));
    EXPECT_TRUE(Shown(form->Control("RichEdit"))); // the text pane, not the chart
    EXPECT_FALSE(Shown(form->Control("Chart1")));
    EXPECT_FALSE(Shown(form->Control("StaticText_SampleStat")));
    EXPECT_TRUE(form->UartPrintReadTimer->isActive());
    EXPECT_FALSE(form->TimerCheckInternet->isActive());
    EXPECT_FALSE(form->TimerAnimator->isActive());
    EXPECT_FALSE(form->UartReadDebugTimer->isActive());
    EXPECT_FALSE(form->TimerMonitorWaveRecv->isActive());
    EXPECT_EQ(FontColor(form->Control("Label_Print")), SystemWindowColor());
    EXPECT_EQ(FontColor(form->Control("Label_InternetUpgrade")), SystemScrollBarColor());

    // The current tab again changes nothing.
    form->UartPrintReadTimer->stop();
    QTest::mouseClick(form->Control("TabImgBtn1"), Qt::LeftButton);
    EXPECT_FALSE(form->UartPrintReadTimer->isActive());
    EXPECT_EQ(form->State().CurrentTab, 1);

    // Back to the upgrade page: the animation runs only while online.
    for (bool online : {false, true}) {
        form->State().InternetConnected = online;
        form->SwitchTabImgBtn(0);
        EXPECT_EQ(form->TimerAnimator->isActive(), online);
        EXPECT_TRUE(form->TimerCheckInternet->isActive());
        EXPECT_TRUE(form->UartReadDebugTimer->isActive());
        EXPECT_FALSE(form->UartPrintReadTimer->isActive());
        EXPECT_TRUE(Shown(form->Control("PanelGauge")));
        EXPECT_FALSE(Shown(form->Control("RichEdit")));
        form->SwitchTabImgBtn(1);
    }
}

TEST_F(FormMainTest, PrintPageComesBackShowingEitherTheChartOrTheTextNeverBoth) {
    auto form = MakeForm();
    form->SwitchTabImgBtn(1);
    struct Case {
        bool chart;
        bool watchdogRunning; // a capture still running keeps the watchdog on
    };
    for (const Case& c : {Case{false, false}, Case{true, false}, Case{true, true}}) {
        form->ShowWaveChart(c.chart);
        if (!c.watchdogRunning)
            form->TimerMonitorWaveRecv->stop();
        form->SwitchTabImgBtn(0);
        form->SwitchTabImgBtn(1);
        EXPECT_EQ(Shown(form->Control("Chart1")), c.chart) << c.chart << c.watchdogRunning;
        EXPECT_EQ(Shown(form->Control("StaticText_SampleStat")), c.chart) << c.watchdogRunning;
        EXPECT_EQ(Shown(form->Control("RichEdit")), !c.chart) << c.chart << c.watchdogRunning;
        EXPECT_EQ(form->TimerMonitorWaveRecv->isActive(), c.chart) << c.watchdogRunning;
    }
}

TEST_F(FormMainTest, CaptionClickActsAsTabClickAndBusyRefusesTheSwitch) {
    auto form = MakeForm();
    form->State().BusyMode = 10;
    QTest::mouseClick(form->Control("Label_Print"), Qt::LeftButton);
    QTest::mouseClick(form->Control("TabImgBtn1"), Qt::LeftButton);
    EXPECT_EQ(form->State().CurrentTab, 0);
    EXPECT_EQ(form->TabLooks()[1], "png:mbutton_2a");
    EXPECT_FALSE(form->UartPrintReadTimer->isActive());

    form->State().BusyMode = 0;
    QTest::mouseClick(form->Control("Label_Print"), Qt::LeftButton);
    EXPECT_EQ(form->State().CurrentTab, 1);
    QTest::mouseClick(form->Control("Label_InternetUpgrade"), Qt::LeftButton);
    EXPECT_EQ(form->State().CurrentTab, 0);
}

// The controls that SetUpgradeBusy enables together.
const char* const kUpgradeControls[] = {
    "Button_LocalUpgrade1",  "Button_LocalUpgrade2",  "Button_LocalUpgrade3",
    "Button_InternetUpdate", "Label_CheckUpdate",     "Button_UpgradeSelect1",
    "Button_UpgradeSelect2", "Button_UpgradeSelect3", "Button_QueryID",
    "Button_SetID",          "Button_QueryVersion"};

void ExpectUpgradeControlsEnabled(const TFormMain& form, bool enabled, const char* context) {
    for (const char* name : kUpgradeControls)
        EXPECT_EQ(form.Control(name)->isEnabled(), enabled) << name << " " << context;
}

TEST_F(FormMainTest, BusyStateWithThePortClosedDisablesEverythingAndPicksTheProgressPair) {
    auto form = MakeForm();
    MainState& s = form->State();
    form->SetUpgradeBusy(-1);
    ExpectUpgradeControlsEnabled(*form, false, "closed, idle");

    struct Case {
        int mode;
        const char* gauge;
        const char* label;
    };
    for (const Case& c : {Case{1, "ProgressBar1", "Label_UpdateStatus1"},
                          Case{2, "ProgressBar2", "Label_UpdateStatus2"},
                          Case{3, "ProgressBar3", "Label_UpdateStatus3"},
                          Case{10, "ProgressBar10", "Label_Status"}}) {
        auto* gauge = form->Control<TGauge>(c.gauge);
        gauge->SetPosition(40);
        form->SetUpgradeBusy(c.mode);
        EXPECT_EQ(s.BusyMode, static_cast<unsigned>(c.mode));
        EXPECT_EQ(s.CurrentGauge, static_cast<IGauge*>(gauge)) << c.mode;
        ASSERT_NE(s.CurrentStatusLabel, nullptr);
        s.CurrentStatusLabel->SetCaption(u"Burning...");
        EXPECT_EQ(Text(form->Control(c.label)), "Burning...") << c.mode;
        EXPECT_EQ(gauge->Position(), 0) << c.mode;
        for (int row = 1; row <= 3; ++row) {
            const QByteArray n = QByteArray::number(row);
            EXPECT_EQ(Shown(form->Control(("ProgressBar" + n).constData())), row == c.mode);
            EXPECT_EQ(Shown(form->Control(("Label_UpdateStatus" + n).constData())), row == c.mode);
            EXPECT_EQ(Shown(form->Control(("Edit_UpgradePath" + n).constData())), row != c.mode);
        }
    }

    // Back to idle: the pair stays, its gauge goes back to 0.
    s.CurrentGauge->SetPosition(70);
    form->SetUpgradeBusy(0);
    EXPECT_EQ(s.CurrentGauge, static_cast<IGauge*>(form->Control<TGauge>("ProgressBar10")));
    EXPECT_EQ(s.CurrentGauge->Position(), 0);
    ExpectUpgradeControlsEnabled(*form, false, "closed, idle again");
}

TEST_F(FormMainTest, BusyStateWithThePortOpenEnablesOnlyWhenIdle) {
    int master = -1, slave = -1;
    char slaveName[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
    fs::create_symlink(slaveName, scratch_.Path() / "dev" / "ttyACM0");

    auto form = MakeForm();
    TSyncUart& uart = *form->State().Uart;
    uart.SetPortNO(1);
    ASSERT_TRUE(uart.Open());

    form->SetUpgradeBusy(-1);
    ExpectUpgradeControlsEnabled(*form, true, "open, idle");
    form->SetUpgradeBusy(10);
    ExpectUpgradeControlsEnabled(*form, false, "open, busy");
    form->SetUpgradeBusy(-1);
    ExpectUpgradeControlsEnabled(*form, false, "open, still busy");
    form->SetUpgradeBusy(0);
    ExpectUpgradeControlsEnabled(*form, true, "open, idle again");

    uart.Close();
    ::close(slave);
    ::close(master);
}

TEST_F(FormMainTest, TopBandStartsAWindowMoveOnlyForTheLeftButtonAboveY75) {
    auto form = MakeForm();
    struct Case {
        Qt::MouseButton button;
        int y;
        int moves;
    };
    for (const Case& c :
         {Case{Qt::LeftButton, 74, 1}, Case{Qt::LeftButton, 75, 0}, Case{Qt::RightButton, 10, 0}}) {
        const int before = form->WindowMovesStarted();
        QTest::mousePress(form.get(), c.button, {}, QPoint(500, c.y));
        QTest::mouseRelease(form.get(), c.button, {}, QPoint(500, c.y));
        EXPECT_EQ(form->WindowMovesStarted() - before, c.moves) << c.y;
    }
    QTest::mouseMove(form.get(), QPoint(500, 74));
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(form.get(), QPoint(500, 75));
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FormMainTest, TitleButtonsAndClosing) {
    auto form = MakeForm();
    QTest::mouseClick(form->Control("SpeedButtonSetting"), Qt::LeftButton);
    EXPECT_EQ(dialogShown_, 1);
    QTest::mouseClick(form->Control("SpeedButton4"), Qt::LeftButton);
    EXPECT_EQ(terminations_, 1);
    EXPECT_FALSE(form->State().CloseRequested); // the close button runs no close query

    form->ShowTextMessage(u"Upgrade finished!");
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Upgrade finished!"});

    EXPECT_TRUE(form->close());
    EXPECT_TRUE(form->State().CloseRequested);
}

TEST_F(FormMainTest, LangIniThatCannotBeCreatedEndsTheStartUp) {
    FormMainOptions options;
    options.LangIniPath = (scratch_.Path() / "missing-folder" / "lang.ini").string();
    options.WatchDevices = false;
    try {
        TFormMain form(options);
        FAIL() << "the window was built";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + options.LangIniPath);
    }
}

// A burn moves the gauge thousands of times a second: it draws at most once a frame, and the
// last value always reaches the screen.
TEST(TGaugeTest, ABurstOfPositionsIsDrawnOncePerFrameEndingWithTheLast) {
    TGauge gauge;
    gauge.resize(800, 20);
    gauge.SetMax(5000);
    gauge.show();
    QTest::qWait(50);
    // Counts the pictures and notes the value each one showed.
    struct PaintWatch : QObject {
        explicit PaintWatch(TGauge& g) : gauge(g) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                ++paints;
                shown = gauge.Position();
            }
            return false;
        }
        TGauge& gauge;
        int paints = 0;
        int shown = -1;
    } watch(gauge);
    gauge.installEventFilter(&watch);
    QElapsedTimer clock;
    clock.start();
    for (int position = 1; position <= 5000; ++position) {
        gauge.SetPosition(position);
        QCoreApplication::processEvents();
    }
    EXPECT_LE(watch.paints, clock.elapsed() / TGauge::kFrameMs + 2);
    EXPECT_EQ(gauge.Position(), 5000);
    QTest::qWait(3 * TGauge::kFrameMs);
    EXPECT_EQ(watch.shown, 5000);
}

TEST(QtMessageBoxTest, ShowsItsTextAsItStandsWithOneOkButton) {
    QWidget parent;
    QtMessageBox messageBox(&parent);
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
    Qt::TextInteractionFlags interaction;
    QString title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            format = box->textFormat();
            buttons = box->standardButtons();
            interaction = box->textInteractionFlags();
            box->accept();
        }
    });
    poll.start(10);
    // A translated text that looks like markup is still shown letter for letter.
    messageBox.ShowTextMessage(u"<b>Burn ROM fail!</b>");
    EXPECT_EQ(text, "<b>Burn ROM fail!</b>");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    // The user can select and copy it.
    EXPECT_TRUE(interaction.testFlag(Qt::TextSelectableByMouse));
    EXPECT_EQ(title, QCoreApplication::applicationName());

    // A message with a caption of its own shows that caption as the box's title.
    messageBox.ShowCaptionedMessage(u"info", u"KV100-STD  ROM_ver:2.3.1 FLASH_ver:2.3.0");
    EXPECT_EQ(title, "info");
    EXPECT_EQ(text, "KV100-STD  ROM_ver:2.3.1 FLASH_ver:2.3.0");
}

// The connection hooks against the simulated ScanTool on COM1.
TEST(FormMainDeviceTest, ConnectsAtStartUpRecordsAnUploadAndFollowsUnplugging) {
    ScratchDir scratch;
    SimHarness sim;
    ASSERT_TRUE(sim.Start()) << sim.Error();
    ScopedSimEnvironment env(sim);

    FormMainOptions options;
    options.LangIniPath = (scratch.Path() / "lang.ini").string();
    options.UploadPath = (scratch.Path() / "upload.dat").string();
    TFormMain form(options);
    EXPECT_EQ(form.State().CurrentComPort, 1);
    EXPECT_EQ(Text(form.Control("Label_Status")), "Device connected to COM1 ");
    EXPECT_TRUE(form.UartReadDebugTimer->isActive());
    EXPECT_FALSE(form.UartPrintReadTimer->isActive());
    EXPECT_TRUE(form.Control("Button_InternetUpdate")->isEnabled());

    // The upgrade page's recorder takes an upload while the window runs.
    ASSERT_TRUE(sim.Ok("upload blocks=2 size=64"));
    const fs::path upload = scratch.Path() / "upload.dat";
    QElapsedTimer uploadClock;
    uploadClock.start();
    while (!fs::exists(upload) && uploadClock.elapsed() < 10000)
        QTest::qWait(50);
    ASSERT_TRUE(fs::exists(upload));
    EXPECT_EQ(fs::file_size(upload), 128u);

    ASSERT_TRUE(sim.Unplug());
    QElapsedTimer clock;
    clock.start();
    while (form.State().CurrentComPort != 0 && clock.elapsed() < 5000)
        QTest::qWait(20);
    EXPECT_EQ(form.State().CurrentComPort, 0);
    EXPECT_EQ(Text(form.Control("Label_Status")), "Please connect the device to the computer");
    EXPECT_FALSE(form.UartReadDebugTimer->isActive());
    EXPECT_FALSE(form.Control("Button_InternetUpdate")->isEnabled());
}

// An upload that cannot be written is not lost silently: the user is told, after the tick.
TEST(FormMainDeviceTest, TellsTheUserWhenAnUploadCannotBeWritten) {
    ScratchDir scratch;
    SimHarness sim;
    ASSERT_TRUE(sim.Start()) << sim.Error();
    ScopedSimEnvironment env(sim);

    RecordingMessages messages;
    FormMainOptions options;
    options.LangIniPath = (scratch.Path() / "lang.ini").string();
    // A file where the folder of the upload file should be: the folder cannot be made.
    std::ofstream(scratch.Path() / "plain") << "x";
    options.UploadPath = (scratch.Path() / "plain" / "upload.dat").string();
    options.MessageBox = &messages;
    TFormMain form(options);
    ASSERT_TRUE(sim.Ok("upload blocks=1 size=8"));
    QElapsedTimer clock;
    clock.start();
    while (messages.shown.empty() && clock.elapsed() < 10000)
        QTest::qWait(50);
    ASSERT_EQ(messages.shown.size(), 1u);
    const std::string text = QString::fromStdU16String(messages.shown[0]).toStdString();
    EXPECT_EQ(text.rfind("Cannot create file " + options.UploadPath, 0), 0u) << text;
}

} // namespace
