#pragma once
// Making the layout's controls: each under its layout name at its layout place.
#include "app/controls.h"

#include <QColor>
#include <QLabel>
#include <QString>

#include <type_traits>

template <class T>
T* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    // Captions come from lang.ini, which the user may edit: "<b>" in a translation is text.
    if constexpr (std::is_base_of_v<QLabel, T>)
        control->setTextFormat(Qt::PlainText);
    return control;
}

// A transparent Unicode label: only its text is drawn, the skin shows through.
TClickLabel* Caption(QWidget* parent, const char* name, int left, int top, int width, int height,
                     int pixels, const QColor& color);

// An image control, transparent or not.
TImageControl* Image(QWidget* parent, const char* name, int left, int top, int width, int height,
                     bool transparent);
