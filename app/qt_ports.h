#pragma once
// Qt halves of the window ports: the window-free subsystems see only core/ports.h.
#include "core/ports.h"

#include <QColor>
#include <QLabel>
#include <QWidget>

// Runs pending window events so the window stays responsive during a long operation.
class QtMessagePump final : public IMessagePump {
public:
    void PumpMessages() override;
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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int max_ = 100;
    int position_ = 0;
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

private:
    QWidget* parent_;
};

QString ToQString(const std::u16string& text);
std::u16string ToU16(const QString& text);
