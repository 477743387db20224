#pragma once
// Image buttons over Qt image controls.  A QLabel becomes an image control with its own picture;
// the button's hook is an event filter that acts on mouse, enter/leave and enabled changes and
// then lets every event through to the label.
#include "graphics/bitmap_factory.h"
#include "graphics/image_control.h"

#include <QObject>
#include <memory>

class QLabel;

// The image-control side of one QLabel.  Lives as a child of the label, so it goes with it; a
// label destroyed while it is a button takes its button out of the factory first.
class QtImageControl : public QObject, public IImageControl {
    Q_OBJECT
public:
    // The control of `label`, made on first use.
    static QtImageControl* Of(QLabel* label);
    ~QtImageControl() override;

    QLabel* Label() const { return label_; }
    bool IsHooked() const { return hook_ != nullptr; }
    // The picture shown by the label (null until something is drawn).
    const ::Bitmap* Picture() const { return picture_.get(); }

    int Width() const override;
    int Height() const override;
    bool IsEnabled() const override;
    Point CursorPosition() const override;
    Canvas& PictureCanvas() override;
    void Invalidate() override;
    void SetHandCursor() override;
    void InstallHook(TImg2Btn* hook) override;
    void RemoveHook() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit QtImageControl(QLabel* label);

    QLabel* label_;
    TImg2Btn* hook_ = nullptr;
    std::unique_ptr<::Bitmap> picture_;
    Canvas canvas_;
};

// TBitmapFactory::Activate for a QLabel.
void Activate(TBitmapFactory& factory, QLabel* label, const char* normal, const char* hover,
              const char* pressed, const char* disabled);
