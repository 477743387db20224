#include "graphics/bitmap_factory.h"

#include "graphics/image_button.h"
#include "graphics/image_decoders.h"

#include <algorithm>
#include <ctime>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

TBitmapFactory::TBitmapFactory() : finder_(FindEmbeddedResource) {}

TBitmapFactory::~TBitmapFactory() {
    // Buttons give their looks back to the registry, so they go first.
    while (!buttonList_.empty())
        buttonList_.pop_back();
    for (ResourceEntry& entry : resourceList_) {
        delete entry.Bitmap;
        entry.Bitmap = nullptr;
    }
}

std::uint32_t TBitmapFactory::Now() const {
    return clock_ ? clock_() : static_cast<std::uint32_t>(std::time(nullptr));
}

ResourceEntry* TBitmapFactory::RegistResource(const char* name) {
    if (name == nullptr || *name == '\0')
        return nullptr;
    for (ResourceEntry& entry : resourceList_)
        if (EqualNoCase(entry.Name, name))
            return &entry;
    resourceList_.push_front(ResourceEntry{nullptr, 0, 0, name});
    return &resourceList_.front();
}

std::int32_t TBitmapFactory::GetReferenceCount(const char* name) const {
    if (name == nullptr || *name == '\0')
        return 0;
    for (const ResourceEntry& entry : resourceList_)
        if (EqualNoCase(entry.Name, name))
            return entry.RefCount;
    return 0;
}

Bitmap* TBitmapFactory::LoadBitmapA(const char* name, bool shared) {
    if (name == nullptr)
        return nullptr;
    if (!shared)
        return ObtainResource(name);
    ResourceEntry* entry = RegistResource(name);
    if (entry == nullptr)
        return nullptr;
    if (entry->Bitmap != nullptr) {
        ++entry->RefCount;
        entry->LastUse = Now();
        return entry->Bitmap;
    }
    Bitmap* bitmap = ObtainResource(name);
    if (bitmap == nullptr)
        return nullptr;
    entry->Bitmap = bitmap;
    entry->RefCount = 1;
    entry->LastUse = Now();
    return bitmap;
}

void TBitmapFactory::FreeBitmap(Bitmap* bitmap) {
    if (bitmap == nullptr)
        return;
    for (ResourceEntry& entry : resourceList_) {
        if (entry.Bitmap != bitmap)
            continue;
        if (entry.RefCount <= 0)
            return;
        if (--entry.RefCount == 0 && loadedCount_ > CacheLimit)
            CleanResource();
        return;
    }
    delete bitmap;
}

void TBitmapFactory::CleanResource() {
    std::uint32_t best = Now();
    ResourceEntry* candidate = nullptr;
    for (ResourceEntry& entry : resourceList_) {
        if (entry.RefCount == 0 && entry.Bitmap != nullptr && entry.LastUse < best) {
            best = entry.LastUse;
            candidate = &entry;
        }
    }
    if (candidate == nullptr)
        return;
    delete candidate->Bitmap;
    candidate->Bitmap = nullptr;
    --loadedCount_;
}

Bitmap* TBitmapFactory::ObtainResource(const char* name) {
    if (name == nullptr)
        return nullptr;
    std::string_view text(name);
    Bitmap* bitmap = nullptr;
    std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && colon != 1) {
        // A resource: kind, colon, name.  A colon in second place is a drive letter instead.
        std::string_view resource = text.substr(colon + 1);
        if (StartsWithNoCase(text, "bitmap:"))
            bitmap = DecodeResource("bitmap", resource);
        else if (StartsWithNoCase(text, "png:"))
            bitmap = DecodeResource("png", resource);
        else if (StartsWithNoCase(text, "jpg:"))
            bitmap = DecodeResource("jpg", resource);
    } else {
        std::size_t dot = text.rfind('.');
        if (dot != std::string_view::npos)
            bitmap = DecodeFile(std::string(text), text.substr(dot));
    }
    if (bitmap != nullptr)
        ++loadedCount_;
    return bitmap;
}

Bitmap* TBitmapFactory::DecodeResource(std::string_view kind, std::string_view name) {
    // A missing resource gives no bitmap, like a missing file, rather than an error that the
    // callers (which draw whatever they get) would not expect.
    const EmbeddedResource* resource = finder_ ? finder_(kind, name) : nullptr;
    if (resource == nullptr)
        return nullptr;
    MemoryReadStream stream(resource->data, resource->size);
    if (kind == "png")
        return LoadPNGfromStream(stream, KeyColor);
    if (kind == "jpg")
        return LoadJPGfromStream(stream);
    return LoadBMPfromStream(stream);
}

Bitmap* TBitmapFactory::DecodeFile(const std::string& path, std::string_view extension) {
    enum { Bmp, Png, Jpg } type;
    if (EqualNoCase(extension, ".bmp"))
        type = Bmp;
    else if (EqualNoCase(extension, ".png"))
        type = Png;
    else if (EqualNoCase(extension, ".jpg"))
        type = Jpg;
    else
        return nullptr;
    FileReadStream stream(path);
    if (!stream.IsOpen())
        return nullptr;
    switch (type) {
    case Bmp:
        return LoadBMPfromStream(stream);
    case Png:
        return LoadPNGfromStream(stream, KeyColor);
    case Jpg:
        return LoadJPGfromStream(stream);
    }
    return nullptr;
}

Bitmap* TBitmapFactory::LoadJPGfromStream(ReadStream& stream) {
    return ::LoadJPGfromStream(stream);
}

void TBitmapFactory::DrawBitmap(Bitmap* bitmap, int srcX, int srcY, Canvas& dc, int dstX, int dstY,
                                int width, int height) {
    if (bitmap == nullptr)
        return;
    Bitmap* previous = memoryDC_.SelectBitmap(bitmap);
    dc.BitBlt(dstX, dstY, width, height, memoryDC_, srcX, srcY);
    memoryDC_.SelectBitmap(previous);
}

void TBitmapFactory::Activate(IImageControl* image, const char* normal, const char* hover,
                              const char* pressed, const char* disabled) {
    if (image == nullptr)
        return;
    const char* looks[4] = {normal, hover, pressed, disabled};
    int given = 0;
    for (int i = 0; i < 4; ++i) {
        if (looks[i] != nullptr) {
            ++given;
            // The registry's copy of the name: equal names become the same reference.
            ResourceEntry* entry = RegistResource(looks[i]);
            looks[i] = entry != nullptr ? entry->Name.c_str() : nullptr;
        } else if (i > 0) {
            looks[i] = looks[0];
        }
    }
    auto found = std::find_if(buttonList_.begin(), buttonList_.end(),
                              [image](const auto& button) { return button->Image() == image; });
    if (found != buttonList_.end()) {
        if (given > 0) {
            (*found)->SetLooks(looks);
        } else {
            std::unique_ptr<TImg2Btn> removed = std::move(*found);
            buttonList_.erase(found);
        }
        return;
    }
    if (given > 0)
        buttonList_.push_back(std::make_unique<TImg2Btn>(image, looks, this));
}
