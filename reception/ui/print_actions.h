#pragma once
// The Print page's actions over the received report and chart: print through Qt's print
// dialog, copy, save the report for an editor and open it, and save the chart as a picture or
// its samples as CSV.  A file that cannot be written is reported, never half written.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class IMessageBox;
class QWidget;
class TRichTextPane;
class TWaveChart;
class WaveCapture;

// The document title of a printed report.
inline constexpr char kPrintDocumentTitle[] = "Kelvane DTC";

// Shows the print dialog; when the user confirms, prints the whole report as one job.
void PrintReport(TRichTextPane& pane, QWidget* parent);

// Asks for a file in the temporary folder (text, Word or RTF type), writes the report to it as
// UTF-16 with a byte-order mark and CR LF line ends whatever the type, and opens it with the
// desktop's program for it.  Returns the file written, or empty.
QString EditReport(TRichTextPane& pane, QWidget* parent, IMessageBox& messages,
                   const std::function<void(const QString&)>& open);

enum class ChartFileFormat { Bmp, Png, Csv };
// PNG for ".png", CSV for ".csv" (any case), BMP for every other name.
ChartFileFormat ChartFormatOf(const QString& path);
// The bytes of the chart file: the chart drawn on a white bitmap, or one "index,volts" line per
// sample.
QByteArray ChartFileBytes(ChartFileFormat format, const TWaveChart& chart,
                          const WaveCapture& capture);

// Asks for a file name ("Bitmap files" first; a name without extension gets the one of the
// chosen type), writes the chart to it and says so with `savedText`.  Returns the file written,
// or empty.
QString SaveChart(const TWaveChart& chart, const WaveCapture& capture, QWidget* parent,
                  IMessageBox& messages, const std::u16string& savedText);

// The file-type filters of the two save dialogs.
QStringList ReportFileFilters();
QStringList ChartFileFilters();
