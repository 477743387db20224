#include "app/qt_ports.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPainter>

#include <algorithm>

void QtMessagePump::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetMax(int max) {
    max_ = std::max(max, 0);
    position_ = std::clamp(position_, 0, max_);
    update();
}

void TGauge::SetPosition(int position) {
    position = std::clamp(position, 0, max_);
    if (position == position_)
        return;
    position_ = position;
    update();
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
    if (max_ <= 0 || position_ <= 0)
        return;
    const int filled = static_cast<int>(static_cast<long long>(width()) * position_ /
                                        static_cast<long long>(max_));
    painter.fillRect(QRect(0, 0, filled, height()), fill_);
}

void QtStatusLabel::SetCaption(const std::u16string& text) {
    label_->setText(ToQString(text));
}

std::u16string QtStatusLabel::Caption() const {
    return ToU16(label_->text());
}

void QtMessageBox::ShowTextMessage(const std::u16string& text) {
    QMessageBox box(parent_);
    box.setWindowTitle(QCoreApplication::applicationName());
    // The text is shown as it stands, never taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQString(text));
    // The user can copy a message, say into a request for help.
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
