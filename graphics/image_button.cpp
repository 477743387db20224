#include "graphics/image_button.h"

#include "graphics/bitmap_factory.h"

TImg2Btn::TImg2Btn(IImageControl* image, const char* const looks[4], TBitmapFactory* factory)
    : factory_(factory), image_(image) {
    image_->InstallHook(this);
    image_->SetHandCursor();
    SetLooks(looks);
}

TImg2Btn::~TImg2Btn() {
    image_->RemoveHook();
    if (bitmap_ != nullptr) {
        factory_->FreeBitmap(bitmap_);
        bitmap_ = nullptr;
        state_ = None;
    }
}

void TImg2Btn::SetLooks(const char* const looks[4]) {
    if (bitmap_ != nullptr) {
        factory_->FreeBitmap(bitmap_);
        bitmap_ = nullptr;
    }
    for (int i = 0; i < 4; ++i)
        looks_[i] = looks[i];
    state_ = None;
    ShowState(Normal);
}

void TImg2Btn::ShowState(std::int8_t s) {
    if (s == state_ || s < Normal || s > Disabled)
        return;
    const char* name = looks_[s];
    const char* old = state_ == None ? nullptr : looks_[state_];
    if (name == old) {
        state_ = s;
        return;
    }
    ::Bitmap* bitmap = factory_->LoadBitmapA(name, true);
    if (bitmap != bitmap_) {
        factory_->FreeBitmap(bitmap_);
        bitmap_ = bitmap;
    } else if (bitmap != nullptr) {
        // The same image again: keep one reference, not two.
        factory_->FreeBitmap(bitmap);
    }
    if (bitmap_ != nullptr) {
        factory_->DrawBitmap(bitmap_, 0, 0, image_->PictureCanvas(), 0, 0, image_->Width(),
                             image_->Height());
        image_->Invalidate();
    }
    state_ = s;
}

void TImg2Btn::HandleMessage(const ButtonMessage& message) {
    auto released = [this](int x, int y) {
        // The first row and column count as outside.
        bool inside = x > 0 && x < image_->Width() && y > 0 && y < image_->Height();
        ShowState(inside ? Hover : Normal);
    };
    switch (message.What) {
    case ButtonMessage::LeftButtonDown:
        ShowState(Pressed);
        break;
    case ButtonMessage::LeftButtonUp:
        released(message.X, message.Y);
        break;
    case ButtonMessage::EnabledChanged:
        if (!image_->IsEnabled()) {
            ShowState(Disabled);
        } else {
            Point at = image_->CursorPosition();
            released(at.X, at.Y);
        }
        break;
    case ButtonMessage::MouseEnter:
        if (image_->IsEnabled())
            ShowState(Hover);
        break;
    case ButtonMessage::MouseLeave:
        if (image_->IsEnabled())
            ShowState(Normal);
        break;
    case ButtonMessage::Other:
        break;
    }
}
