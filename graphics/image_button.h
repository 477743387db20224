#pragma once
// TImg2Btn: turns an image control into a button that shows one of four looks (normal, hover,
// pressed, disabled) and changes it by itself as the mouse enters, leaves, presses and releases,
// or as the control is enabled and disabled.  The control keeps its own click handling; the hook
// only changes looks.  Made and owned by TBitmapFactory::Activate.
#include "graphics/bitmap.h"
#include "graphics/image_control.h"

#include <cstdint>

class TBitmapFactory;

class TImg2Btn {
public:
    enum : std::int8_t { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3, None = 4 };

    // Hooks `image`, gives it the hand cursor and shows the normal look.  `looks` are names
    // stored in the factory's registry (or null).
    TImg2Btn(IImageControl* image, const char* const looks[4], TBitmapFactory* factory);
    // Gives the control its own message handling back and the held look back to the factory.
    ~TImg2Btn();
    TImg2Btn(const TImg2Btn&) = delete;
    TImg2Btn& operator=(const TImg2Btn&) = delete;

    // Replaces the looks and shows the new normal look.
    void SetLooks(const char* const looks[4]);
    // Shows the look of state `s`; names that are the same reference draw nothing.
    void ShowState(std::int8_t s);
    // The hook: every message of the control passes here before the control's own handling.
    void HandleMessage(const ButtonMessage& message);

    ::Bitmap* Bitmap() const { return bitmap_; }
    TBitmapFactory* Factory() const { return factory_; }
    std::int8_t State() const { return state_; }
    const char* Look(int s) const { return looks_[s]; }
    IImageControl* Image() const { return image_; }

private:
    ::Bitmap* bitmap_ = nullptr;
    TBitmapFactory* factory_;
    std::int8_t state_ = None;
    const char* looks_[4] = {nullptr, nullptr, nullptr, nullptr};
    IImageControl* image_;
};
