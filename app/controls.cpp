#include "app/controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) {}

void TClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

TImageControl::TImageControl(QWidget* parent) : TClickLabel(parent) {}

void TImageControl::SetTransparent(bool transparent) {
    transparent_ = transparent;
    cachedKey_ = 0;
    update();
}

void TImageControl::SetTransparentColor(QRgb color) {
    fixedKey_ = true;
    key_ = qRgb(qRed(color), qGreen(color), qBlue(color));
    cachedKey_ = 0;
    update();
}

QImage TImageControl::ShownPicture() const {
    const QPixmap shown = pixmap();
    if (shown.isNull())
        return {};
    if (shown.cacheKey() == cachedKey_ && cachedTransparent_ == transparent_)
        return cached_;
    QImage picture = shown.toImage().convertToFormat(QImage::Format_ARGB32);
    if (transparent_) {
        const QRgb key = fixedKey_ ? key_ : picture.pixel(0, picture.height() - 1);
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                if (row[x] == key)
                    row[x] = 0;
        }
    }
    cachedKey_ = shown.cacheKey();
    cachedTransparent_ = transparent_;
    cached_ = picture;
    return cached_;
}

void TImageControl::paintEvent(QPaintEvent*) {
    const QImage picture = ShownPicture();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, picture);
}
