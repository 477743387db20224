// Lookup over the table that the build generates from resources/png and resources/jpg
// (embedded_resources_data.cpp, written by tools/skin/embed_resources.py).
//
// Names: the skin images answer to the names used after "png:" ("main", "mbutton_1a", ...);
// the layout pictures are the "jpg" resources "image_bak1", "image1" and "dialog_button"
// (the picture shared by the language dialog's Confirm and Cancel buttons).
#include "resources/embedded_resources.h"

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        // ASCII folding only: resource names are ASCII, and locale-dependent folding would make
        // the lookup differ between machines.
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

const EmbeddedResource* FindEmbeddedResource(std::string_view kind, std::string_view name) {
    for (const EmbeddedResource& r : AllEmbeddedResources()) {
        if (EqualNoCase(r.kind, kind) && EqualNoCase(r.name, name))
            return &r;
    }
    return nullptr;
}
