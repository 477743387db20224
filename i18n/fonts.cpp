#include "i18n/fonts.h"

namespace {
// The names as 8-bit (GBK) bytes, the way older layouts and settings store them.
constexpr const char* kYaHeiGbk = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";
constexpr const char* kSongTiGbk = "\xCB\xCE\xCC\xE5";
} // namespace

std::string ResolveFontFace(const std::string& face) {
    if (face == kFaceYaHei || face == kYaHeiGbk)
        return kFallbackSansFace;
    if (face == kFaceSongTi || face == kSongTiGbk)
        return kFallbackSerifFace;
    return face;
}
