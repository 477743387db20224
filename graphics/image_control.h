#pragma once
// What an image button needs from the image control it serves.  The Qt half implements it over a
// QLabel (graphics/ui/qt_image_control.h); tests implement it with a small double.
#include "graphics/canvas.h"

class TImg2Btn;

// A message for the image control, as far as an image button cares.
struct ButtonMessage {
    enum Kind { LeftButtonDown, LeftButtonUp, EnabledChanged, MouseEnter, MouseLeave, Other };
    Kind What = Other;
    int X = 0; // mouse position in the control's coordinates (LeftButtonUp)
    int Y = 0;
};

class IImageControl {
public:
    virtual ~IImageControl() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool IsEnabled() const = 0;
    // Where the mouse is now, in the control's coordinates.
    virtual Point CursorPosition() const = 0;
    // A canvas with the control's own picture (Width() x Height()) selected; looks are drawn
    // into it.
    virtual Canvas& PictureCanvas() = 0;
    // The picture changed: show it.
    virtual void Invalidate() = 0;
    virtual void SetHandCursor() = 0;
    // From now on every message passes `hook->HandleMessage` first and then goes on to the
    // control's own handling unchanged.
    virtual void InstallHook(TImg2Btn* hook) = 0;
    // Gives the control its own message handling back.
    virtual void RemoveHook() = 0;
};
