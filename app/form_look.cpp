#include "app/form_look.h"

#include "i18n/fonts.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
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
