// The Print page in the main window on the offscreen platform, fed by the simulated ScanTool:
// the report in the pane, the waveform on the chart, and each action from its button and its
// caption.
#include "app/form_main.h"
#include "app/print_page.h"
#include "reception/ui/rich_text_pane.h"
#include "reception/ui/wave_chart.h"
#include "tests/app/form_test_support.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/sim_harness.h"
#include "tests/support/window_doubles.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace quillon::test;

constexpr int kWait = 10000;

class PrintPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Start()) << sim.Error();
        env = std::make_unique<ScopedSimEnvironment>(sim);
        setenv("TMPDIR", sim.ScratchDir().c_str(), 1);
        FormMainOptions options;
        options.LangIniPath = sim.ScratchDir() + "/lang.ini";
        options.UploadPath = sim.ScratchDir() + "/upload.dat";
        options.MessageBox = &messages;
        options.WatchDevices = false;
        form = std::make_unique<TFormMain>(options);
        form->show();
        page().SetDocumentOpener([this](const QString& path) { opened.push_back(path); });
        form->SwitchTabImgBtn(1);
    }
    void TearDown() override {
        form.reset();
        unsetenv("TMPDIR");
    }

    TPrintPage& page() { return form->PrintPage(); }
    TRichTextPane& pane() { return *page().RichEdit(); }
    QString Path(const char* name) const {
        return QString::fromStdString(sim.ScratchDir() + "/" + name);
    }
    // The colour of the first character of the pane's line `line`.
    QColor LineColour(int line) { return ColourOf(pane().Document().ColourAt({line, 0})); }
    // Answers the next file dialog by typing `path` into its name field.
    static void AnswerFileDialog(const QString& path) {
        WhenModalDialogShows([path](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            dialog->accept();
        });
    }

    SimHarness sim;
    std::unique_ptr<ScopedSimEnvironment> env;
    RecordingMessages messages;
    std::vector<QString> opened;
    std::unique_ptr<TFormMain> form;
};

TEST_F(PrintPageTest, ReportArrivesColouredAndInItsCodePagesWhateverTheReadsCut) {
    ASSERT_TRUE(sim.Ok("report codepage=936 split=5 gap_ms=2"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return pane().PlainText().contains(QStringLiteral("Tester: ScanTool")); }, kWait));
    const std::vector<QString> lines = pane().Lines();
    ASSERT_EQ(lines.size(), 9u) << pane().PlainText().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("==== Battery test report ===="));
    EXPECT_EQ(LineColour(0), QColor(0, 102, 255));
    EXPECT_EQ(lines[2], QStringLiteral("蓄电池测试结果：良好"));
    EXPECT_EQ(LineColour(2), QColor(153, 51, 187));
    EXPECT_EQ(lines[4], QStringLiteral("\u0645\u0642\u062F\u0627\u0631 \u0645\u0642\u0627\u0648"
                                       "\u0645\u062A: 4.2 m\u03A9"));
    EXPECT_TRUE(pane().LineIsRightToLeft(4));
    std::u16string healthy = *PrintTextRenderer::FixedPrintText(0xF103);
    healthy.resize(healthy.size() - 2); // without its CR LF
    EXPECT_EQ(lines[6], QString::fromStdU16String(healthy));
    EXPECT_EQ(LineColour(6), QColor(255, 0, 0));
    EXPECT_EQ(form->State().PrintCodePage, 28605u); // the report switches back at its end
    EXPECT_TRUE(pane().isVisible());
    EXPECT_FALSE(page().Chart()->isVisible());
}

TEST_F(PrintPageTest, WaveformCaptureFillsTheChartAndTheActionsWorkOnIt) {
    ASSERT_TRUE(sim.Ok("text before"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pane().PlainText().isEmpty(); }, kWait));
    ASSERT_TRUE(sim.Ok("wave_sweep count=3000 frame=250 gap_ms=150"));
    ASSERT_TRUE(sim.Ok("text hidden while capturing"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->State().ChartShown; }, kWait));
    EXPECT_TRUE(page().Chart()->isVisible());
    EXPECT_FALSE(pane().isVisible());
    EXPECT_TRUE(form->TimerMonitorWaveRecv->isActive());

    // The watchdog draws every second; after the end frame its next tick stops it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->TimerMonitorWaveRecv->isActive(); }, kWait));
    const ChartModel& chart = *page().Chart()->Model();
    EXPECT_EQ(chart.Series[WaveCapture::kCurve].Count(), 3000u);
    EXPECT_EQ(page().SampleStat()->text(), QStringLiteral("Voltage Min=11.8V and Max=14.4V"));
    EXPECT_TRUE(page().SampleStat()->isVisible());
    EXPECT_EQ(page().TrackBar()->maximum(), 3000 - 1024);
    EXPECT_FALSE(pane().PlainText().contains(QStringLiteral("hidden")));

    // Releasing the thumb at 500 shows samples 500 ... 1523.
    QSlider* track = page().TrackBar();
    track->setValue(500);
    QTest::mouseRelease(track, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(chart.Bottom.Minimum, 500);
    EXPECT_EQ(chart.Bottom.Maximum, 1523);
    EXPECT_EQ(QApplication::focusWidget() == track, false);

    // A click on the chart sets the level line at the voltage there.
    TWaveChart* chartWidget = page().Chart();
    QTest::mouseClick(chartWidget, Qt::LeftButton, {},
                      chartWidget->PositionOf(900, 13.0).toPoint());
    const ChartSeries& level = chart.Series[WaveCapture::kCursorLine];
    ASSERT_EQ(level.Count(), 2u);
    EXPECT_NEAR(level.Y(1), 13.0, 1e-6);
    EXPECT_NEAR(level.X(1), 900, 2);

    // The save button: BMP when the name has no extension, and the success message.
    messages.shown.clear();
    AnswerFileDialog(Path("curve"));
    QTest::mouseClick(chartWidget->findChild<QWidget*>(QStringLiteral("Btn_SaveChart")),
                      Qt::LeftButton);
    ASSERT_TRUE(std::filesystem::exists(sim.ScratchDir() + "/curve.bmp"));
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Chart curve is saved successfully!"});
    QImage saved(Path("curve.bmp"));
    EXPECT_EQ(saved.size(), QSize(913, 417));

    // Clear while the chart is shown: the empty pane comes back and every series is cleared.
    QTest::mouseClick(form->Control("imgbtn_clear"), Qt::LeftButton);
    EXPECT_TRUE(pane().isVisible());
    EXPECT_FALSE(chartWidget->isVisible());
    EXPECT_TRUE(pane().PlainText().isEmpty());
    EXPECT_EQ(form->State().WaveBytes, 0);
    for (const ChartSeries& s : chart.Series)
        EXPECT_EQ(s.Count(), 0u);
}

TEST_F(PrintPageTest, CaptionPressShowsItsButtonPressed) {
    struct Action {
        const char* caption;
        const char* button;
        const char* normal;
        const char* pressed;
    };
    for (const Action& a :
         {Action{"Label_PrintPrint", "imgbtn_print", "png:btn_print_normal", "png:btn_print_light"},
          Action{"Label_Clear", "imgbtn_clear", "png:btn_clear_normal", "png:btn_clear_light"},
          Action{"Label_Copy", "imgbtn_copy", "png:btn_copy_normal", "png:btn_copy_light"},
          Action{"Label_Edit", "imgbtn_edit", "png:btn_edit_normal", "png:btn_edit_light"}}) {
        QWidget* caption = form->Control(a.caption);
        QTest::mousePress(caption, Qt::RightButton); // any button
        EXPECT_TRUE(formtest::ShowsImage(*form, a.button, a.pressed)) << a.caption;
        EXPECT_EQ(QColor(caption->grab().toImage().pixel(1, 1)), QColor(0, 238, 88)) << a.caption;
        QTest::mouseRelease(caption, Qt::RightButton);
        EXPECT_TRUE(formtest::ShowsImage(*form, a.button, a.normal)) << a.caption;
        EXPECT_TRUE(caption->testAttribute(Qt::WA_NoSystemBackground)) << a.caption;
        EXPECT_FALSE(caption->autoFillBackground()) << a.caption;
    }
}

TEST_F(PrintPageTest, EveryActionAnswersItsButtonAndItsCaption) {
    pane().AppendText(u"Battery 12.6 V\r\n", 0x0000FF);
    for (const char* control : {"imgbtn_copy", "Label_Copy"}) {
        QApplication::clipboard()->clear();
        QTest::mouseClick(form->Control(control), Qt::LeftButton);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Battery 12.6 V\n")) << control;
        EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasHtml()) << control;
    }

    for (const char* control : {"imgbtn_edit", "Label_Edit"}) {
        const QString path = Path(control) + QStringLiteral(".txt");
        AnswerFileDialog(path);
        QTest::mouseClick(form->Control(control), Qt::LeftButton);
        ASSERT_FALSE(opened.empty()) << control;
        EXPECT_EQ(opened.back(), path);
    }

    for (const char* control : {"imgbtn_print", "Label_PrintPrint"}) {
        const QString pdf = Path(control) + QStringLiteral(".pdf");
        WhenModalDialogShows([pdf](QDialog* dialog) {
            if (auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers")))
                printers->setCurrentIndex(printers->count() - 1);
            dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdf);
            dialog->accept();
        });
        QTest::mouseClick(form->Control(control), Qt::LeftButton);
        EXPECT_TRUE(std::filesystem::exists(pdf.toStdString())) << control;
    }

    // Clear, also after a colour escape: the next text is green again.
    for (const char* control : {"imgbtn_clear", "Label_Clear"}) {
        const std::uint8_t red[] = {0, '$', '$', 1, 'I', 'r', 'e', 'd'};
        page().Reception().Text().ProcessPrintChunk(red, sizeof red);
        QTest::mouseClick(form->Control(control), Qt::LeftButton);
        EXPECT_TRUE(pane().PlainText().isEmpty()) << control;
        EXPECT_EQ(page().Reception().Text().PrintColour(), kDefaultPrintColour) << control;
    }
}

} // namespace
