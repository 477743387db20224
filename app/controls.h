#pragma once
// Small controls the skinned window is built from: labels that report clicks, and image
// controls that hold their own picture and may leave out their key-coloured pixels.
#include <QImage>
#include <QLabel>

// A transparent label that reports a left click.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// An image control with its own picture.  In transparent mode the pixels that have the colour
// of the picture's bottom-left pixel are left out, so the skin shows through there.
class TImageControl : public TClickLabel {
    Q_OBJECT
public:
    explicit TImageControl(QWidget* parent = nullptr);

    void SetTransparent(bool transparent);
    bool Transparent() const { return transparent_; }
    // The colour left out in transparent mode; without one, the picture's bottom-left pixel.
    void SetTransparentColor(QRgb color);

    // Draws `image` over the whole control, as a picture drawn at (0, 0) with the control's
    // width and height.  A null image leaves the previous pixels.
    void DrawPicture(const QImage& image);
    // The picture as drawn (before the transparent mode is applied).
    const QImage& Picture() const { return picture_; }

private:
    void Refresh();

    bool transparent_ = false;
    bool fixedKey_ = false;
    QRgb key_ = 0;
    QImage picture_;
};
