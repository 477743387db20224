#include "platform/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace platform {

std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        char32_t cp = 0;
        std::size_t extra = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F, extra = 1, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F, extra = 2, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07, extra = 3, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + extra >= bytes.size() && extra > 0)
            return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::u16string Latin1ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

std::string IconvNameOfCodePage(std::uint32_t codePage) {
    if (codePage >= 28591 && codePage <= 28599)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    if (codePage >= 1250 && codePage <= 1258)
        return "CP" + std::to_string(codePage);
    switch (codePage) {
    case 28603:
        return "ISO-8859-13";
    case 28605:
        return "ISO-8859-15";
    case 936:
        return "GBK";
    case 932:
        return "CP932";
    case 949:
        return "CP949";
    case 950:
        return "BIG5";
    case 874:
        return "CP874";
    case 866:
        return "CP866";
    case 437:
        return "CP437";
    case 850:
        return "CP850";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 65001:
        return "UTF-8";
    default:
        return {};
    }
}

std::u16string ToUtf16(std::uint32_t codePage, std::string_view bytes) {
    CodePageDecoder decoder(28591);
    std::u16string out;
    decoder.Decode(codePage, bytes, false, out);
    return out;
}

CodePageDecoder::CodePageDecoder(std::uint32_t fallbackCodePage) : fallback_(fallbackCodePage) {}

CodePageDecoder::~CodePageDecoder() {
    if (cd_)
        iconv_close(static_cast<iconv_t>(cd_));
}

bool CodePageDecoder::Open(std::uint32_t codePage) {
    if (opened_ && openCodePage_ == codePage)
        return cd_ != nullptr;
    if (cd_)
        iconv_close(static_cast<iconv_t>(cd_));
    cd_ = nullptr;
    opened_ = true;
    openCodePage_ = codePage;
    const std::string name = IconvNameOfCodePage(codePage);
    iconv_t cd =
        name.empty() ? reinterpret_cast<iconv_t>(-1) : iconv_open("UTF-16LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1) && codePage != fallback_) {
        const std::string fallback = IconvNameOfCodePage(fallback_);
        if (!fallback.empty())
            cd = iconv_open("UTF-16LE", fallback.c_str());
    }
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    cd_ = cd;
    return true;
}

void CodePageDecoder::Decode(std::uint32_t codePage, std::string_view bytes, bool holdIncomplete,
                             std::u16string& out) {
    std::string joined;
    if (heldCount_ > 0) {
        joined.assign(held_, heldCount_);
        joined.append(bytes);
        bytes = joined;
        heldCount_ = 0;
    }
    if (!Open(codePage)) {
        // Not even the fallback converts: the bytes as Latin-1, so that none is lost.
        out += Latin1ToUtf16(bytes);
        return;
    }
    Convert(bytes.data(), bytes.size(), holdIncomplete, out);
}

void CodePageDecoder::Convert(const char* bytes, std::size_t count, bool holdIncomplete,
                              std::u16string& out) {
    auto* cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = count;
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const std::size_t produced = sizeof buffer - outLeft;
        for (std::size_t k = 0; k + 1 < produced; k += 2)
            out += static_cast<char16_t>(static_cast<unsigned char>(buffer[k]) |
                                         (static_cast<unsigned char>(buffer[k + 1]) << 8));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG)
            continue;
        if (errno == EINVAL && holdIncomplete && inLeft <= kMaxHeld) {
            std::memcpy(held_, in, inLeft);
            heldCount_ = inLeft;
            return;
        }
        // An undefined or cut-off byte sequence: one replacement character, then go on.
        out += u'\uFFFD';
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

} // namespace platform
