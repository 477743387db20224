#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace {

TEST(TextCodec, Utf8ToUtf16AcceptsOnlyValidUtf8) {
    const struct {
        std::string bytes;
        std::optional<std::u16string> expected;
    } cases[] = {
        {"", u""},
        {"abc", u"abc"},
        {"Fran\xC3\xA7"
         "ais",
         u"Français"},
        {"\xE5\xAE\x8B\xE4\xBD\x93", u"宋体"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xE7", std::nullopt},             // Latin-1 byte
        {"\xC3", std::nullopt},             // cut sequence
        {"\xC0\xAF", std::nullopt},         // overlong
        {"\xED\xA0\x80", std::nullopt},     // surrogate
        {"\xF4\x90\x80\x80", std::nullopt}, // above U+10FFFF
        {"\x80", std::nullopt},             // lone continuation byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::Utf8ToUtf16(c.bytes), c.expected) << c.bytes;
}

TEST(TextCodec, Utf16ToUtf8RoundTripsAndReplacesLoneSurrogates) {
    for (std::u16string text : {u"", u"Русский язык", u"中文 \U0001F600 end"})
        EXPECT_EQ(platform::Utf8ToUtf16(platform::Utf16ToUtf8(text)), text);
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(TextCodec, CodePagesDecodeToUtf16) {
    const struct {
        std::uint32_t codePage;
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {28605, "\xA4 5", u"€ 5"}, // ISO-8859-15 euro sign
        {28591, "\xA4", u"¤"},
        {936, "\xCB\xCE\xCC\xE5", u"宋体"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", u"Привет"},
        {65001, "\xC3\xA9", u"é"},
        {1252,
         "a\x81"
         "b",
         u"a\uFFFD"
         "b"},                        // undefined in the code page
        {936, "ok\xCB", u"ok\uFFFD"}, // cut double-byte character
        {12345, "\xE9", u"é"},        // unknown code page: bytes kept as Latin-1
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ToUtf16(c.codePage, c.bytes), c.expected) << c.codePage;
}

} // namespace
