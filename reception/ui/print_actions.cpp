#include "reception/ui/print_actions.h"

#include "core/ports.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "reception/ui/rich_text_pane.h"
#include "reception/ui/wave_chart.h"
#include "reception/wave_capture.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

#include <cstdio>

namespace {

// The extension of a filter such as "PNG image (*.png)", without the dot.
QString ExtensionOf(const QString& filter) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
}

// Runs a save dialog; the chosen file, with the chosen type's extension when it has none.
QString AskSaveFile(QWidget* parent, const QString& title, const QString& folder,
                    const QStringList& filters) {
    QFileDialog dialog(parent, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().first();
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + ExtensionOf(dialog.selectedNameFilter());
    return path;
}

// Writes the file whole or not at all; tells the user when it cannot.
bool WriteFile(const QString& path, const QByteArray& bytes, IMessageBox& messages) {
    const std::string name = path.toStdString();
    const int error = platform::WriteFileAtomically(name, bytes.constData(),
                                                    static_cast<std::size_t>(bytes.size()));
    if (error == 0)
        return true;
    messages.ShowTextMessage(
        QString::fromStdString(platform::CannotCreateFileText(name, error)).toStdU16String());
    return false;
}

} // namespace

QStringList ReportFileFilters() {
    return {QStringLiteral("文本文件 (*.txt)"), QStringLiteral("Word文档 (*.doc)"),
            QStringLiteral("RTF (*.rtf)")};
}

QStringList ChartFileFilters() {
    return {QStringLiteral("Bitmap files (*.bmp)"), QStringLiteral("PNG image (*.png)"),
            QStringLiteral("CSV samples (*.csv)")};
}

void PrintReport(TRichTextPane& pane, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromLatin1(kPrintDocumentTitle));
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    pane.Print(&printer);
}

QString EditReport(TRichTextPane& pane, QWidget* parent, IMessageBox& messages,
                   const std::function<void(const QString&)>& open) {
    std::string folder = platform::TempDir();
    if (folder.empty())
        folder = QDir::homePath().toStdString();
    const QString path =
        AskSaveFile(parent, QString(), QString::fromStdString(folder), ReportFileFilters());
    if (path.isEmpty() || !WriteFile(path, pane.Utf16Text(), messages))
        return {};
    if (QFileInfo::exists(path) && open)
        open(path);
    return path;
}

ChartFileFormat ChartFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return ChartFileFormat::Png;
    if (suffix == QLatin1String("csv"))
        return ChartFileFormat::Csv;
    return ChartFileFormat::Bmp;
}

QByteArray ChartFileBytes(ChartFileFormat format, const TWaveChart& chart,
                          const WaveCapture& capture) {
    QByteArray bytes;
    if (format == ChartFileFormat::Csv) {
        const int count = capture.SampleCount();
        bytes.reserve(count * 12);
        char line[48];
        for (int i = 0; i < count; ++i) {
            const int n = std::snprintf(line, sizeof line, "%d,%.1f\n", i,
                                        WaveCapture::RoundToTenth(capture.Sample(i) * 0.1));
            bytes.append(line, n);
        }
        return bytes;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    chart.RenderImage().save(&buffer, format == ChartFileFormat::Png ? "PNG" : "BMP");
    return bytes;
}

QString SaveChart(const TWaveChart& chart, const WaveCapture& capture, QWidget* parent,
                  IMessageBox& messages, const std::u16string& savedText) {
    const QString path = AskSaveFile(parent, QStringLiteral("Save chart curve to file ..."),
                                     QString(), ChartFileFilters());
    if (path.isEmpty())
        return {};
    if (!WriteFile(path, ChartFileBytes(ChartFormatOf(path), chart, capture), messages))
        return {};
    messages.ShowTextMessage(savedText);
    return path;
}
