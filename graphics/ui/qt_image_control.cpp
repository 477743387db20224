#include "graphics/ui/qt_image_control.h"

#include "graphics/image_button.h"
#include "graphics/ui/qt_bitmap.h"

#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace {
constexpr const char* kObjectName = "quillon_image_control";
}

QtImageControl* QtImageControl::Of(QLabel* label) {
    if (label == nullptr)
        return nullptr;
    if (auto* existing = label->findChild<QtImageControl*>(kObjectName, Qt::FindDirectChildrenOnly))
        return existing;
    return new QtImageControl(label);
}

QtImageControl::QtImageControl(QLabel* label) : QObject(label), label_(label) {
    setObjectName(kObjectName);
}

QtImageControl::~QtImageControl() {
    // The label is going away while it is still a button: the factory must forget the button
    // before it would reach a dead control.
    if (hook_ != nullptr)
        hook_->Factory()->Activate(this, nullptr, nullptr, nullptr, nullptr);
}

int QtImageControl::Width() const {
    return label_->width();
}

int QtImageControl::Height() const {
    return label_->height();
}

bool QtImageControl::IsEnabled() const {
    return label_->isEnabled();
}

Point QtImageControl::CursorPosition() const {
    QPoint at = label_->mapFromGlobal(QCursor::pos());
    return Point{at.x(), at.y()};
}

Canvas& QtImageControl::PictureCanvas() {
    int width = std::max(1, label_->width());
    int height = std::max(1, label_->height());
    if (!picture_ || picture_->Width != width || picture_->Height != height) {
        // A new picture starts from what the label shows (transparent where it shows nothing),
        // so that a look smaller than the control leaves the rest as it was.
        QImage shown(width, height, QImage::Format_ARGB32);
        shown.fill(Qt::transparent);
        QImage before = picture_ ? ToQImage(*picture_) : label_->pixmap().toImage();
        if (!before.isNull()) {
            QPainter painter(&shown);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, before);
        }
        picture_.reset(FromQImage(shown, true));
        canvas_.SelectBitmap(picture_.get());
    }
    return canvas_;
}

void QtImageControl::Invalidate() {
    if (picture_)
        label_->setPixmap(QPixmap::fromImage(ToQImage(*picture_)));
    label_->update();
}

void QtImageControl::SetHandCursor() {
    label_->setCursor(Qt::PointingHandCursor);
}

void QtImageControl::InstallHook(TImg2Btn* hook) {
    hook_ = hook;
    label_->installEventFilter(this);
}

void QtImageControl::RemoveHook() {
    hook_ = nullptr;
    label_->removeEventFilter(this);
}

bool QtImageControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched != label_ || hook_ == nullptr)
        return false;
    ButtonMessage message;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // Qt's stand-in for the second press of a double click
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            message.What = ButtonMessage::LeftButtonDown;
        break;
    case QEvent::MouseButtonRelease:
        if (auto* mouse = static_cast<QMouseEvent*>(event); mouse->button() == Qt::LeftButton) {
            // The pixel under the pointer: a scaled screen reports fractions, and 0.6 still lies
            // in the first column, which counts as outside.
            QPointF at = mouse->position();
            message =
                ButtonMessage{ButtonMessage::LeftButtonUp, static_cast<int>(std::floor(at.x())),
                              static_cast<int>(std::floor(at.y()))};
        }
        break;
    case QEvent::EnabledChange:
        message.What = ButtonMessage::EnabledChanged;
        break;
    case QEvent::Enter:
        message.What = ButtonMessage::MouseEnter;
        break;
    case QEvent::Leave:
        message.What = ButtonMessage::MouseLeave;
        break;
    default:
        break;
    }
    if (message.What != ButtonMessage::Other)
        hook_->HandleMessage(message);
    return false; // the label always gets the event too
}

void Activate(TBitmapFactory& factory, QLabel* label, const char* normal, const char* hover,
              const char* pressed, const char* disabled) {
    if (label == nullptr)
        return;
    factory.Activate(QtImageControl::Of(label), normal, hover, pressed, disabled);
}
