#include "app/form_look.h"

#include "i18n/fonts.h"

#include <algorithm>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <QVariant>
#include <QWidget>

QFont PixelFont(int pixels, const QString& face) {
    QFont font;
    const QString installed = QString::fromStdString(ResolveFontFace(face.toStdString()));
    // Latin, Greek and Cyrillic text from the plain sans face, whose quotation marks are not
    // full-width like those of the CJK face; CJK text from the CJK face.
    if (face == kLayoutFace)
        font.setFamilies({QStringLiteral("Noto Sans"), installed});
    else
        font.setFamily(installed);
    font.setPixelSize(pixels);
    return font;
}

void SetFontColor(QWidget* control, const QColor& color) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    control->setPalette(palette);
}

QColor FontColor(const QWidget* control) {
    return control->palette().color(QPalette::WindowText);
}

QColor SystemWindowColor() {
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}

QColor SystemScrollBarColor() {
    // The desktop has no colour of its own for scroll bars; the usual light grey stands in.
    return QColor(200, 200, 200);
}

void FitCaption(QLabel* label) {
    if (label->wordWrap() || label->text().isEmpty())
        return;
    QFont font = label->font();
    int pixels = QFontInfo(font).pixelSize();
    while (pixels > 9 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width()) {
        --pixels;
        font.setPixelSize(pixels);
    }
    if (font != label->font())
        label->setFont(font);
}

namespace {

constexpr int kSmallestPixels = 9;

int LayoutPixels(const QLabel* label) {
    const QVariant stored = label->property("layoutPixels");
    return stored.isValid() ? stored.toInt() : QFontInfo(label->font()).pixelSize();
}

} // namespace

void FitCaptionOnPlate(QLabel* label, const QRect& plate, const QRect& textArea) {
    // The whole caption: what was set last, unless the label still shows our own shortening.
    QString text = label->text();
    if (text == label->property("shownText").toString())
        text = label->property("fullText").toString();

    const int room = std::min(textArea.width(), label->width());
    QFont font = label->font();
    int pixels = LayoutPixels(label);
    font.setPixelSize(pixels);
    while (pixels > kSmallestPixels && QFontMetrics(font).horizontalAdvance(text) > room) {
        --pixels;
        font.setPixelSize(pixels);
    }
    if (font != label->font())
        label->setFont(font);
    // Too long even for the smallest font: cut with an ellipsis, the whole text in the tooltip.
    const QFontMetrics metrics(font);
    const QString shown = metrics.horizontalAdvance(text) > room
                              ? metrics.elidedText(text, Qt::ElideRight, room)
                              : text;
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
    label->setProperty("fullText", text);
    label->setProperty("shownText", shown);

    // The text is centred in the label.
    const int textWidth = metrics.horizontalAdvance(shown);
    const int inset = (label->width() - textWidth) / 2;
    int left = label->x();
    if (left + inset < textArea.left() || left + inset + textWidth - 1 > textArea.right())
        left = textArea.left() + (textArea.width() - textWidth) / 2 - inset;
    const int top = plate.top() + (plate.height() - label->height()) / 2;
    label->move(left, top);
}

QRect CaptionTextRect(const QLabel* label) {
    const QFontMetrics metrics(label->font());
    const QRect inside = QStyle::alignedRect(
        label->layoutDirection(), label->alignment(),
        QSize(metrics.horizontalAdvance(label->text()), metrics.height()), label->contentsRect());
    return inside.translated(label->pos());
}
