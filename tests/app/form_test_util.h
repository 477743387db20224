#pragma once
// Looking at the main window's controls in widget tests.
#include "app/form_main.h"
#include "graphics/bitmap_factory.h"
#include "graphics/ui/qt_bitmap.h"
#include "graphics/ui/qt_image_control.h"

#include <QLabel>

// The picture of an image control, compared by colour with the named skin image.
inline bool ShowsImage(TFormMain& form, const char* control, const char* name) {
    Bitmap* image = form.Factory().LoadBitmapA(name, true);
    const QImage expected = ToQImage(image).convertToFormat(QImage::Format_RGB32);
    form.Factory().FreeBitmap(image);
    const ::Bitmap* picture = QtImageControl::Of(form.Control<QLabel>(control))->Picture();
    return !expected.isNull() && picture &&
           ToQImage(picture).convertToFormat(QImage::Format_RGB32) == expected;
}
