#pragma once
// Small controls the skinned window is built from: labels that report clicks, and image
// controls whose picture may leave out its key-coloured pixels.
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

// An image control: shows its picture (the label's pixmap, which the bitmap factory's image
// control draws) as it is, also while disabled.  In transparent mode the pixels that have the
// transparent colour are left out, so the skin shows through there; that colour is the
// picture's bottom-left pixel unless one is set.
class TImageControl : public TClickLabel {
    Q_OBJECT
public:
    explicit TImageControl(QWidget* parent = nullptr);

    void SetTransparent(bool transparent);
    bool Transparent() const { return transparent_; }
    void SetTransparentColor(QRgb color);

    // The picture as shown, with the transparent pixels left out.
    QImage ShownPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool transparent_ = false;
    bool fixedKey_ = false;
    QRgb key_ = 0;
    mutable qint64 cachedKey_ = 0;
    mutable bool cachedTransparent_ = false;
    mutable QImage cached_;
};
