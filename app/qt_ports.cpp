#include "app/qt_ports.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include <algorithm>

void QtMessagePump::PumpMessages() {
    if (lastRun_.isValid() && lastRun_.nsecsElapsed() < kIntervalUs * 1000)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    lastRun_.start();
}

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetMax(int max) {
    const int before = FilledWidth();
    max_ = std::max(max, 0);
    position_ = std::clamp(position_, 0, max_);
    if (FilledWidth() != before)
        Redraw();
}

void TGauge::SetPosition(int position) {
    position = std::clamp(position, 0, max_);
    if (position == position_)
        return;
    const int before = FilledWidth();
    position_ = position;
    if (FilledWidth() != before)
        Redraw();
}

int TGauge::FilledWidth() const {
    if (max_ <= 0 || position_ <= 0)
        return 0;
    return static_cast<int>(static_cast<long long>(width()) * position_ /
                            static_cast<long long>(max_));
}

void TGauge::Redraw() {
    if (redrawPending_)
        return;
    const qint64 since = lastRedraw_.isValid() ? lastRedraw_.elapsed() : kFrameMs;
    if (since >= kFrameMs) {
        lastRedraw_.start();
        update();
        return;
    }
    // Too soon after the last picture: one more comes when the frame is over, showing the
    // value of that moment.
    redrawPending_ = true;
    QTimer::singleShot(static_cast<int>(kFrameMs - since), this, [this] {
        redrawPending_ = false;
        lastRedraw_.start();
        update();
    });
}

void TGauge::SetBackColor(const QColor& color) {
    back_ = color;
    update();
}

void TGauge::SetFillColor(const QColor& color) {
    fill_ = color;
    update();
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), back_);
    const int filled = FilledWidth();
    if (filled > 0)
        painter.fillRect(QRect(0, 0, filled, height()), fill_);
}

void QtStatusLabel::SetCaption(const std::u16string& text) {
    label_->setText(ToQString(text));
}

std::u16string QtStatusLabel::Caption() const {
    return ToU16(label_->text());
}

void QtMessageBox::ShowTextMessage(const std::u16string& text) {
    ShowCaptionedMessage(ToU16(QCoreApplication::applicationName()), text);
}

void QtMessageBox::ShowCaptionedMessage(const std::u16string& caption, const std::u16string& text) {
    QMessageBox box(parent_);
    box.setWindowTitle(ToQString(caption));
    // The text is shown as it stands, never taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQString(text));
    // The user can copy a message: a command to paste into a terminal, a text for a request
    // for help.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QString ToQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}
