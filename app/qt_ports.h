#pragma once
// Qt halves of the window ports: the window-free subsystems see only core/ports.h.
#include "core/ports.h"

#include <QColor>
#include <QElapsedTimer>
#include <QLabel>
#include <QWidget>

// Runs pending window events so the window stays responsive during a long operation.  A burn
// asks after every block, thousands of times a second; events are run at most once in
// kIntervalUs, which no user can tell from every time and which keeps the burn at its speed.
class QtMessagePump final : public IMessagePump {
public:
    static constexpr qint64 kIntervalUs = 1000;
    void PumpMessages() override;

private:
    QElapsedTimer lastRun_;
};

// A progress gauge with its own background and fill colours, as the skin wants them.
class TGauge final : public QWidget, public IGauge {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    void SetMax(int max) override;
    void SetPosition(int position) override;
    int Max() const override { return max_; }
    int Position() const override { return position_; }

    void SetBackColor(const QColor& color);
    void SetFillColor(const QColor& color);
    QColor BackColor() const { return back_; }
    QColor FillColor() const { return fill_; }

    // At most this often the gauge draws itself anew (a burn moves it thousands of times a
    // second; the screen needs far fewer pictures).
    static constexpr int kFrameMs = 16;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FilledWidth() const;
    void Redraw();

    int max_ = 100;
    int position_ = 0;
    QElapsedTimer lastRedraw_;
    bool redrawPending_ = false;
    QColor back_{Qt::white};
    QColor fill_{0, 120, 215};
};

// The status caption of an operation, shown in an existing label.
class QtStatusLabel final : public IStatusLabel {
public:
    explicit QtStatusLabel(QLabel* label) : label_(label) {
        label_->setTextFormat(Qt::PlainText); // texts from lang.ini are never markup
    }
    void SetCaption(const std::u16string& text) override;
    std::u16string Caption() const override;
    QLabel* Label() const { return label_; }

private:
    QLabel* label_;
};

// A modal message box with one text and an OK button.
class QtMessageBox final : public IMessageBox {
public:
    explicit QtMessageBox(QWidget* parent) : parent_(parent) {}
    void ShowTextMessage(const std::u16string& text) override;
    void ShowCaptionedMessage(const std::u16string& caption, const std::u16string& text) override;

private:
    QWidget* parent_;
};

QString ToQString(const std::u16string& text);
std::u16string ToU16(const QString& text);
