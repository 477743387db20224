// The search of the trouble-code list without a window: trimming the typed text and finding the
// first caption that holds it.
#include "content/dtc_search.h"

#include <gtest/gtest.h>

namespace {

TEST(DtcSearch, TrimsBlanksAndControlCharactersAtBothEnds) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"P0420", u"P0420"},
        {u"  P0420\t", u"P0420"},
        {u"\r\n\x01P04 20\x1F ", u"P04 20"},
        {u"   ", u""},
        {u"", u""},
        {u"\u3000P0420", u"\u3000P0420"}, // only blanks and control characters go
    };
    for (const auto& [typed, trimmed] : cases)
        EXPECT_EQ(TrimSearchText(typed), trimmed);
}

TEST(DtcSearch, FindsTheFirstCaptionHoldingTheTextAnywhere) {
    const std::vector<std::u16string> captions = {u" U0100", u" P0301", u" P0100", u" P0101"};
    struct Case {
        std::u16string text;
        int row;
    };
    const Case cases[] = {
        {u"P01", 2},    // not only at the start of the code, and in file order
        {u"01", 0},     // anywhere in the caption, the first row that has it
        {u"P0101", 3},  //
        {u" P03", 1},   // the caption's leading blank is part of it
        {u"P0999", -1}, // no caption holds it
        {u"", -1},      // nothing typed: nothing found
        {u"p01", -1},   // the caller upper-cases: the search itself is exact
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindFirstContaining(captions, c.text), c.row);
    EXPECT_EQ(FindFirstContaining({}, u"P0"), -1);
}

} // namespace
