#pragma once
// TBitmapFactory: turns image names ("png:main", "jpg:image1", "bitmap:x", or a file path ending
// in .png, .jpg or .bmp) into bitmaps, keeps decoded images in a registry shared by name and
// counted by reference, draws bitmaps onto canvases and makes image buttons.  One factory per
// process; GUI thread only.
//
// Ownership: a shared hand-out (LoadBitmapA(name, true)) belongs to the registry and is given back
// once with FreeBitmap.  A private hand-out (shared = false, ObtainResource) and every bitmap made
// by the operations below belong to the caller, who deletes it with FreeBitmap (which deletes any
// bitmap that is not in the registry).
#include "graphics/bitmap.h"
#include "graphics/canvas.h"
#include "graphics/read_stream.h"
#include "resources/embedded_resources.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class IImageControl;
class TImg2Btn;

// One registry entry per distinct image name.
struct ResourceEntry {
    ::Bitmap* Bitmap = nullptr; // null while not loaded or after eviction
    std::int32_t RefCount = 0;  // shared hand-outs not yet given back
    std::uint32_t LastUse = 0;  // wall-clock second of the last shared hand-out
    std::string Name;           // as first registered; compared without regard to case
};

class TBitmapFactory {
public:
    TBitmapFactory();
    // Destroys every image button, then deletes every loaded registry bitmap whatever its count.
    ~TBitmapFactory();
    TBitmapFactory(const TBitmapFactory&) = delete;
    TBitmapFactory& operator=(const TBitmapFactory&) = delete;

    // While LoadedCount is above it, releasing an image evicts one unreferenced image.
    std::int32_t CacheLimit = 8;
    // Colour of fully transparent PNG pixels; kKeepAlpha (-1) selects 32-bit bitmaps with alpha.
    TColor KeyColor = 0xABCDEF;

    // Successful decodes (shared or private) minus evictions.
    std::int32_t LoadedCount() const { return loadedCount_; }
    // Most recently registered entry first.
    const std::list<ResourceEntry>& ResourceList() const { return resourceList_; }
    const std::vector<std::unique_ptr<TImg2Btn>>& ButtonList() const { return buttonList_; }

    // Shared: the registry's bitmap of `name` (decoded on first use), or null.  Private: a new
    // bitmap on every call.  A null name gives null.
    Bitmap* LoadBitmapA(const char* name, bool shared);
    Bitmap* LoadBitmapA(const std::string& name, bool shared) {
        return LoadBitmapA(name.c_str(), shared);
    }
    // Gives back a shared hand-out (the image stays loaded) or deletes any other bitmap.
    void FreeBitmap(Bitmap* bitmap);
    // The entry of `name`, created unloaded when new; null for a null or empty name.  Entries are
    // never removed while the factory lives, so the stored name's address is stable.
    ResourceEntry* RegistResource(const char* name);
    std::int32_t GetReferenceCount(const char* name) const;
    // Decodes `name` without the registry; the caller owns the result.
    Bitmap* ObtainResource(const char* name);
    // Evicts at most one unreferenced image: the one used longest ago, never one used within the
    // current second.
    void CleanResource();
    Bitmap* LoadJPGfromStream(ReadStream& stream);

    // Plain copy of the width x height block at (srcX, srcY) of `bitmap` to (dstX, dstY) of `dc`.
    // A null bitmap draws nothing.
    void DrawBitmap(Bitmap* bitmap, int srcX, int srcY, Canvas& dc, int dstX, int dstY, int width,
                    int height);
    // Scaled copy; when it shrinks in either direction, `dc` is switched to half-tone (area
    // averaging) with brush origin (0, 0) and keeps that mode afterwards.
    void StretchDrawBitmap(Bitmap* bitmap, int srcX, int srcY, int srcWidth, int srcHeight,
                           Canvas& dc, int dstX, int dstY, int dstWidth, int dstHeight);
    // Fills (0, 0)-(width, height) of `dc` with `bitmap`, corners at their size, edges and middle
    // stretched.  `margins` holds the left, top, right and bottom margins.
    void DrawNinePatch(Canvas& dc, int width, int height, Bitmap* bitmap, const Rect& margins);

    // Makes, updates or removes the image button of `image` with the looks normal, hover,
    // pressed, disabled (each a name or null; a missing hover, pressed or disabled look is the
    // normal look).  Four nulls remove the button and give the control its own handling back.
    void Activate(IImageControl* image, const char* normal, const char* hover, const char* pressed,
                  const char* disabled);

    // Operations that need no factory state; each new bitmap belongs to the caller.
    // A bitmap like the one selected into `dc`, holding a plain copy of `rect` of it.
    static Bitmap* CopyDCToBitmap(const Canvas& dc, const Rect& rect);
    // No rectangle: a copy of the whole bitmap in its own depth.  With one: a 24-bit copy of the
    // block, null for an empty block.
    static Bitmap* CopyBitmap(const Bitmap* bitmap, const Rect* rect);
    // A 24-bit width x height bitmap holding `srcRect` (or the whole bitmap) scaled; shrinking
    // averages areas.
    static Bitmap* StretchBitmap(const Bitmap* bitmap, const Rect* srcRect, int width, int height);
    // A 24-bit bitmap of the same size holding the picture turned by `degrees` about `centre`
    // (null or negative coordinates: the middle), black where nothing maps.
    static Bitmap* RotateBitmap(const Bitmap* bitmap, const Point* centre, float degrees);

    // Test seams: where "png:"/"jpg:"/"bitmap:" resources come from, and the wall clock.
    using ResourceFinder =
        std::function<const EmbeddedResource*(std::string_view kind, std::string_view name)>;
    void SetResourceFinder(ResourceFinder finder) { finder_ = std::move(finder); }
    void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }

private:
    friend class TImg2Btn;
    Bitmap* DecodeResource(std::string_view kind, std::string_view name);
    Bitmap* DecodeFile(const std::string& path, std::string_view extension);
    std::uint32_t Now() const;

    std::int32_t loadedCount_ = 0;
    std::vector<std::unique_ptr<TImg2Btn>> buttonList_;
    std::list<ResourceEntry> resourceList_;
    Canvas memoryDC_;
    ResourceFinder finder_;
    std::function<std::uint32_t()> clock_;
};
