#pragma once
// Conversions between the 8-bit texts of files, devices and servers and the UTF-16 texts that the
// window shows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 to UTF-16; nullopt when `bytes` is not valid UTF-8 (overlong forms, surrogates and
// code points above U+10FFFF count as invalid).
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Bytes 0..255 as the code points U+0000..U+00FF.
std::u16string Latin1ToUtf16(std::string_view bytes);

// The iconv name of a Windows code page (28605 "ISO-8859-15", 936 "GBK", ...); empty when the
// code page is not in the table.
std::string IconvNameOfCodePage(std::uint32_t codePage);

// Text in Windows code page `codePage` to UTF-16.  Bytes that the code page does not define
// become U+FFFD; an unknown code page decodes as ISO-8859-1 so that no byte is lost.
std::u16string ToUtf16(std::uint32_t codePage, std::string_view bytes);

// Decodes a stream of texts, each in a Windows code page, keeping the conversion of the last
// code page open.  A code page that is not in the table, or that the system cannot convert,
// decodes as `fallbackCodePage`.  Bytes the code page does not define become U+FFFD.
class CodePageDecoder {
public:
    explicit CodePageDecoder(std::uint32_t fallbackCodePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    // Appends the text of `bytes` to `out`.  Bytes held back by the last call come first.  With
    // `holdIncomplete`, a character cut off at the end of `bytes` (the first bytes of a
    // double-byte or UTF-8 character) is held back for the next call; otherwise it becomes
    // U+FFFD.
    void Decode(std::uint32_t codePage, std::string_view bytes, bool holdIncomplete,
                std::u16string& out);
    std::size_t HeldBytes() const { return heldCount_; }

private:
    bool Open(std::uint32_t codePage);
    void Convert(const char* bytes, std::size_t count, bool holdIncomplete, std::u16string& out);

    static constexpr std::size_t kMaxHeld = 8;
    std::uint32_t fallback_;
    std::uint32_t openCodePage_ = 0;
    bool opened_ = false;
    void* cd_ = nullptr; // iconv_t
    char held_[kMaxHeld] = {};
    std::size_t heldCount_ = 0;
};

} // namespace platform
