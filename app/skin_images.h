#pragma once
// The skin's images by name ("png:main", "png:mbutton_1b", ...), ready to show.
#include <QImage>

#include <string>

// A shared hand-out of the named image, converted for showing; a null image when it cannot be
// produced (the caller then draws nothing and the control keeps its pixels).
QImage SkinImage(const std::string& name);
