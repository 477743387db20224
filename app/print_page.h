#pragma once
// The Print page: its controls (the four actions with their captions, the rich-text pane, the
// waveform chart with its save button and track bar, the statistics caption), the wiring of
// their handlers, and the window's side of the stream reception and the waveform capture.
#include "reception/print_reception.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QSlider;
class QWidget;
class TFormMain;
class TRichTextPane;
class TWaveChart;

class TPrintPage final : public QObject, private IWaveView {
    Q_OBJECT
public:
    // Makes the page's controls on `form`, page position (x, y) at form (x, y + dy), and lists
    // them in `controls` in the page's order.
    TPrintPage(TFormMain& form, int dy, std::vector<QWidget*>& controls);
    ~TPrintPage() override;

    // The skin set-up's part: the pane's look and the chart's set-up.
    void SetUpSkin();

    void UartPrintReadTimerTimer() { reception_->UartPrintReadTimerTimer(); }
    void TimerMonitorWaveRecvTimer() { reception_->Wave().TimerMonitorWaveRecvTimer(); }
    void ShowWaveChart(bool on) { reception_->Wave().ShowWaveChart(on); }

    void Button_PrintClick();
    void Button_ClearClick();
    void Button_CopyClick();
    void Button_EditClick();
    void Btn_SaveChartClick();
    void Chart1Click(double x, double y);

    // How Edit opens the saved report (default: the desktop's program for the file).
    void SetDocumentOpener(std::function<void(const QString&)> open) { open_ = std::move(open); }

    PrintReception& Reception() { return *reception_; }
    TRichTextPane* RichEdit() const { return richEdit_; }
    TWaveChart* Chart() const { return chart_; }
    QSlider* TrackBar() const { return trackBar_; }
    QLabel* SampleStat() const { return sampleStat_; }

protected:
    // The captions' pressed looks and the track bar's release and focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ChartVisible() const override;
    void ShowChart(bool on) override;
    bool WatchdogEnabled() const override;
    void SetWatchdogEnabled(bool on) override;
    void SetTrackBarMax(int max) override;
    void SetTrackBarPosition(int position) override;
    void SetSampleStatCaption(const std::u16string& text) override;
    void ChartChanged() override;

    void ShowPressedLook(std::size_t action, bool pressed);

    TFormMain& form_;
    TRichTextPane* richEdit_ = nullptr;
    TWaveChart* chart_ = nullptr;
    QSlider* trackBar_ = nullptr;
    QLabel* sampleStat_ = nullptr;
    std::array<QLabel*, 4> buttons_{};
    std::array<QLabel*, 4> captions_{};
    std::unique_ptr<PrintReception> reception_;
    std::function<void(const QString&)> open_;
};
