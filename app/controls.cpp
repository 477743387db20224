#include "app/controls.h"

#include <QMouseEvent>
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

TImageControl::TImageControl(QWidget* parent) : TClickLabel(parent) {
    setScaledContents(false);
}

void TImageControl::SetTransparent(bool transparent) {
    if (transparent_ == transparent)
        return;
    transparent_ = transparent;
    Refresh();
}

void TImageControl::SetTransparentColor(QRgb color) {
    fixedKey_ = true;
    key_ = qRgb(qRed(color), qGreen(color), qBlue(color));
    Refresh();
}

void TImageControl::DrawPicture(const QImage& image) {
    if (image.isNull())
        return;
    if (image.size() == size())
        picture_ = image.convertToFormat(QImage::Format_ARGB32);
    else
        picture_ = image.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32);
    Refresh();
}

void TImageControl::Refresh() {
    if (picture_.isNull())
        return;
    if (!transparent_) {
        setPixmap(QPixmap::fromImage(picture_));
        return;
    }
    QImage keyed = picture_;
    const QRgb key = fixedKey_ ? key_ : keyed.pixel(0, keyed.height() - 1);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if (row[x] == key)
                row[x] = 0;
    }
    setPixmap(QPixmap::fromImage(keyed));
}
