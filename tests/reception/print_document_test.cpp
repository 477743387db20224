#include "reception/print_document.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kGreen = 0xEE00;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlue = 0xFF6600;

std::vector<std::u16string> LinesOf(const PrintDocument& d) {
    std::vector<std::u16string> lines;
    for (int l = 0; l < d.LineCount(); ++l)
        lines.emplace_back(d.Line(l));
    return lines;
}

TEST(PrintDocument, LineBreaksWhereverTheAppendsCut) {
    struct Case {
        std::vector<std::u16string> appends;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {{u"a\r\nb"}, {u"a", u"b"}},           {{u"a\r", u"\nb"}, {u"a", u"b"}},
        {{u"a\r", u"\r\n"}, {u"a", u"", u""}}, {{u"a\nb\rc"}, {u"a", u"b", u"c"}},
        {{u"a\n\r\n"}, {u"a", u"", u""}},      {{u"x", u"", u"y\r\n"}, {u"xy", u""}},
    };
    for (const Case& c : cases) {
        PrintDocument d(kGreen);
        for (const auto& a : c.appends)
            d.Append(a, kGreen);
        EXPECT_EQ(LinesOf(d), c.lines) << c.lines.size();
    }
}

TEST(PrintDocument, ColourRunsFollowTheAppends) {
    PrintDocument d(kGreen);
    d.Append(u"ab", kGreen);
    d.Append(u"cd\r\nef", kRed);
    d.Append(u"", kBlue); // an empty append changes nothing
    d.Append(u"g", kBlue);
    std::vector<std::pair<int, std::uint32_t>> runs;
    d.LineRuns(0, runs);
    EXPECT_EQ(runs, (std::vector<std::pair<int, std::uint32_t>>{{0, kGreen}, {2, kRed}}));
    d.LineRuns(1, runs);
    EXPECT_EQ(runs, (std::vector<std::pair<int, std::uint32_t>>{{0, kRed}, {2, kBlue}}));
    EXPECT_EQ(d.ColourAt({1, 1}), kRed);
    EXPECT_EQ(d.ColourAt({1, 2}), kBlue);

    d.Clear(kGreen);
    d.Append(u"x", kGreen);
    d.LineRuns(0, runs);
    EXPECT_EQ(runs, (std::vector<std::pair<int, std::uint32_t>>{{0, kGreen}}));
}

TEST(PrintDocument, TextHtmlAndUtf16OfRanges) {
    PrintDocument d(kGreen);
    d.Append(u"<a&b>", kGreen);
    d.Append(u" red\r\n\r\nlast \u0628\r\n", kRed);
    EXPECT_EQ(d.Text({0, 1}, {2, 2}), u"a&b> red\n\nla");
    EXPECT_EQ(d.Text({2, 2}, {0, 1}), u"a&b> red\n\nla"); // either order
    EXPECT_EQ(d.Text({0, 0}, {99, 99}), u"<a&b> red\n\nlast \u0628\n");
    const std::string html = d.Html({0, 0}, d.End());
    EXPECT_NE(html.find("<span style=\"color:#00ee00\">&lt;a&amp;b&gt;</span>"
                        "<span style=\"color:#ff0000\"> red</span>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<br></p>"), std::string::npos);      // the empty line
    EXPECT_NE(html.find("last \xD8\xA8"), std::string::npos); // UTF-8
    const std::vector<std::uint8_t> bytes = d.Utf16LeLines();
    const std::vector<std::uint8_t> head{0xFF, 0xFE, '<', 0, 'a', 0};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
    // Three lines with CR LF each; the empty one after the last break is none.
    EXPECT_EQ(bytes.size(), 2 + 2 * (9 + 2 + 0 + 2 + 6 + 2));
}

TEST(PrintDocument, LongLinesAndLargeReportsStayCompact) {
    PrintDocument d(kGreen);
    const std::u16string piece(1000, u'x');
    for (int i = 0; i < 200; ++i) // one line of 200 000 characters, across chunks
        d.Append(piece, i % 2 ? kRed : kGreen);
    EXPECT_EQ(d.LineCount(), 1);
    EXPECT_EQ(d.Line(0).size(), 200000u);
    EXPECT_EQ(d.LongestLine(), 200000);
    d.Append(u"\r\nnext", kGreen);
    EXPECT_EQ(d.Line(1), u"next");
    EXPECT_EQ(d.ColourAt({0, 1999}), kRed);

    // 4 MB of report lines: about two bytes a character, plus a little per line.
    PrintDocument big(kGreen);
    std::size_t characters = 0;
    const std::u16string line = u"00000 Battery 12.60 V  CCA 540 A  internal 4.2 m\u03A9\r\n";
    while (characters < 4'000'000) {
        big.Append(line, characters % 3 ? kGreen : kRed);
        characters += line.size();
    }
    EXPECT_LT(big.MemoryBytes(), characters * 2 + characters / 2);
}

} // namespace
