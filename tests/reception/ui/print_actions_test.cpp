// The Print page's actions with their real dialogs, answered the way a user would.
#include "core/main_state.h"
#include "reception/ui/print_actions.h"
#include "reception/ui/rich_text_pane.h"
#include "reception/ui/wave_chart.h"
#include "tests/reception/reception_fakes.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/window_doubles.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace quillon::test;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the next file dialog with `name` in the type `filter`, or cancels it (empty name).
void AnswerFileDialog(const QString& name, const QString& filter = {},
                      QString* folderShown = nullptr) {
    WhenModalDialogShows([=](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        if (folderShown)
            *folderShown = files->directory().absolutePath();
        if (name.isEmpty()) {
            files->reject();
            return;
        }
        if (!filter.isEmpty())
            files->selectNameFilter(filter);
        // Typed into the name field, as a user would (selectFile may lose a race with the
        // dialog's folder listing).
        auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(name);
        static_cast<QDialog*>(files)->accept();
    });
}

class ChartSaveTest : public ::testing::Test {
protected:
    ChartSaveTest() {
        capture.SetupWaveChart();
        const Bytes payload{126, 0, 130, 0, 142, 0};
        capture.AppendWaveSamples(payload.data(), 6);
        capture.TimerMonitorWaveRecvTimer();
        chart.resize(913, 417);
        chart.SetModel(&capture.Chart());
    }

    QString Save(const QString& name, const QString& filter = {}) {
        AnswerFileDialog(name, filter);
        return SaveChart(chart, capture, nullptr, messages, u"saved");
    }

    QTemporaryDir dir;
    MainState state;
    FakeWaveView view;
    WaveCapture capture{state, view};
    TWaveChart chart;
    RecordingMessages messages;
};

TEST_F(ChartSaveTest, FormatFollowsTheExtensionAndBmpIsTheDefault) {
    struct Case {
        const char* name;
        const char* filter;
        const char* saved;
        const char* format; // for QImage, or "csv"
    };
    for (const Case& c : {Case{"curve", "", "curve.bmp", "BMP"},
                          Case{"shot", "PNG image (*.png)", "shot.png", "PNG"},
                          Case{"samples", "CSV samples (*.csv)", "samples.csv", "csv"},
                          Case{"curve.PNG", "", "curve.PNG", "PNG"},
                          Case{"picture.jpg", "", "picture.jpg", "BMP"}}) {
        messages.shown.clear();
        const QString saved =
            Save(dir.filePath(QString::fromLatin1(c.name)), QString::fromUtf8(c.filter));
        EXPECT_EQ(saved, dir.filePath(QString::fromLatin1(c.saved))) << c.name;
        EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"saved"}) << c.name;
        const QByteArray bytes = ReadAll(saved);
        if (std::string(c.format) == "csv") {
            EXPECT_EQ(bytes, QByteArray("0,12.6\n1,13.0\n2,14.2\n"));
            continue;
        }
        QImage image;
        ASSERT_TRUE(image.loadFromData(bytes, c.format)) << c.name;
        EXPECT_EQ(image.size(), QSize(913, 417));
        if (std::string(c.format) == "BMP") {
            EXPECT_TRUE(bytes.startsWith("BM"));
        }
        EXPECT_EQ(QColor(image.pixel(2, 2)), QColor(2, 33, 81)) << c.name;
    }
}

TEST_F(ChartSaveTest, AFileThatCannotBeWrittenIsReportedNotPraised) {
    const QString path = dir.filePath(QStringLiteral("missing/curve.bmp"));
    EXPECT_TRUE(Save(path).isEmpty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(QString::fromStdU16String(messages.shown[0]),
              QStringLiteral("Cannot create file %1. No such file or directory").arg(path));
    // A cancelled dialog does nothing at all.
    messages.shown.clear();
    EXPECT_TRUE(Save(QString()).isEmpty());
    EXPECT_TRUE(messages.shown.empty());
}

class ReportTest : public ::testing::Test {
protected:
    ReportTest() {
        setenv("TMPDIR", dir.path().toLocal8Bit().constData(), 1);
        pane.AppendText(u"Battery ", 0xEE00);
        pane.AppendText(u"12.6 V\r\n\u0639\u0648\u0636\r\n", 0x0000FF);
    }
    ~ReportTest() override { unsetenv("TMPDIR"); }

    QTemporaryDir dir;
    TRichTextPane pane;
    RecordingMessages messages;
    std::vector<QString> opened;
    std::function<void(const QString&)> open = [this](const QString& p) { opened.push_back(p); };
};

TEST_F(ReportTest, EditWritesUtf16WithCrLfWhateverTheTypeAndOpensTheFile) {
    QString folder;
    AnswerFileDialog(dir.filePath(QStringLiteral("report")), QStringLiteral("RTF (*.rtf)"),
                     &folder);
    const QString saved = EditReport(pane, nullptr, messages, open);
    EXPECT_EQ(folder, QDir(dir.path()).absolutePath()); // starts in the temporary folder
    EXPECT_EQ(saved, dir.filePath(QStringLiteral("report.rtf")));
    const QByteArray expected("\xFF\xFE"
                              "B\0a\0t\0t\0e\0r\0y\0 \0"
                              "1\0002\0.\0006\0 \0V\0\r\0\n\0"
                              "\x39\x06\x48\x06\x36\x06\r\0\n\0",
                              44);
    EXPECT_EQ(ReadAll(saved), expected);
    EXPECT_EQ(opened, std::vector<QString>{saved});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReportTest, EditThatCannotWriteOpensNothingAndCancelDoesNothing) {
    const QString path = dir.filePath(QStringLiteral("missing/report.txt"));
    AnswerFileDialog(path);
    EXPECT_TRUE(EditReport(pane, nullptr, messages, open).isEmpty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(QString::fromStdU16String(messages.shown[0]),
              QStringLiteral("Cannot create file %1. No such file or directory").arg(path));
    EXPECT_TRUE(opened.empty());

    messages.shown.clear();
    AnswerFileDialog(QString());
    EXPECT_TRUE(EditReport(pane, nullptr, messages, open).isEmpty());
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReportTest, PrintToPdfWithoutAPrinter) {
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    WhenModalDialogShows([&](QDialog* dialog) {
        auto* print = qobject_cast<QPrintDialog*>(dialog);
        ASSERT_NE(print, nullptr);
        // "Print to File (PDF)", the last printer of the list (the only one on a machine
        // without printers), into the dialog's own file field.
        if (auto* printers = print->findChild<QComboBox*>(QStringLiteral("printers")))
            printers->setCurrentIndex(printers->count() - 1);
        for (auto* edit : print->findChildren<QLineEdit*>())
            if (edit->objectName() == QLatin1String("filename"))
                edit->setText(pdf);
        print->accept();
    });
    PrintReport(pane, nullptr);
    const QByteArray bytes = ReadAll(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF")) << pdf.toStdString();
    // The job's title is the document's title in the PDF's information (UTF-16 big-endian).
    EXPECT_NE(bytes.indexOf(QByteArray("/Title (\xFE\xFF\0K\0e\0l\0v\0a\0n\0e\0 \0D\0T\0C)", 30)),
              -1);
}

} // namespace
