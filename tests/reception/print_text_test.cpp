#include "core/main_state.h"
#include "reception/print_text.h"
#include "tests/reception/reception_fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::test;
using TextRun = RecordingPane::Run;

constexpr std::uint32_t kGreen = kDefaultPrintColour;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlue = 0xFF6600; // selector 2

// NUL "$" "$" followed by `rest`.
Bytes Esc(const Bytes& rest) {
    return Concat({Bytes{0x00, '$', '$'}, rest});
}

class PrintTextTest : public ::testing::Test {
protected:
    void Feed(const Bytes& chunk) {
        renderer.ProcessPrintChunk(chunk.data(), static_cast<int>(chunk.size()));
    }
    void Feed(std::initializer_list<Bytes> chunks) {
        for (const Bytes& c : chunks)
            Feed(c);
    }

    MainState state;
    RecordingPane pane;
    PrintTextRenderer renderer{state, pane};
};

TEST_F(PrintTextTest, EscapesAndLineEnds) {
    struct Case {
        const char* name;
        Bytes chunk;
        std::vector<TextRun> runs;
    };
    const Case cases[] = {
        {"lone LF is no line break", B("Hello\n"), {{u"Hello", kGreen}}},
        {"CR LF is a line break", B("Hello\r\n"), {{u"Hello\r\n", kGreen}}},
        {"colour escape between texts",
         Concat({B("A"), Esc({0x01, 'I'}), B("B")}),
         {{u"A", kGreen}, {u"B", kRed}}},
        {"wrong letter changes nothing", Concat({Esc({0x01, 'X'}), B("C")}), {{u"C", kGreen}}},
        {"NUL and another byte vanish", B(std::string("q\0Zr", 4)), {{u"qr", kGreen}}},
        {"NUL inside an escape restarts it",
         Concat({Bytes{0x00, '$'}, Esc({0x01, 'I'}), B("x")}),
         {{u"x", kRed}}},
        {"skipped LF before the selector",
         Concat({Esc({0x0A, 0x02, 'J'}), B("y")}),
         {{u"y", kBlue}}},
        {"unknown selector is consumed", Concat({Esc({'Z'}), B("z")}), {{u"z", kGreen}}},
        {"DEL shows as omega",
         B("a\x7F"
           "b"),
         {{u"a\u03A9b", kGreen}}},
        {"fixed phrase with its line break",
         Concat({B("1 "), Esc({'%', '$', 0xF1, 0x03}), B("2")}),
         {{u"1 \u0628\u0627\u062A\u0631\u0649 \u0633\u0627\u0644\u0645 \u0627\u0633\u062A\r\n2",
           kGreen}}},
        {"fixed phrase without line break",
         Concat({Esc({'%', '$', 0xF1, 0x01})}),
         {{u"\u0645\u0642\u062F\u0627\u0631 \u0648\u0644\u062A\u0627\u0698", kGreen}}},
        {"code outside the table inserts nothing",
         Concat({B("a"), Esc({'%', '$', 0xF1, 0x05}), B("b")}),
         {{u"ab", kGreen}}},
        {"phrase follows the text before it even with a wrong marker",
         Concat({B("a"), Esc({'%', 'x', 0xF1, 0x04})}),
         {{u"a\u0639\u0648\u0636 \u0634\u0648\u062F\r\n", kGreen}}},
    };
    for (const Case& c : cases) {
        MainState s;
        RecordingPane p;
        PrintTextRenderer r(s, p);
        r.ProcessPrintChunk(c.chunk.data(), static_cast<int>(c.chunk.size()));
        EXPECT_EQ(p.runs, c.runs) << c.name;
        EXPECT_EQ(r.PrintEscapeState(), 0) << c.name;
    }
}

TEST_F(PrintTextTest, EveryFixedPhraseHasItsExactCodePoints) {
    struct Phrase {
        std::uint16_t code;
        std::vector<char16_t> points;
        bool lineBreak;
    };
    const Phrase phrases[] = {
        {0x0F05,
         {0x0634, 0x0627, 0x0631, 0x0698, 0x20,   0x0645, 0x062C, 0x062F,
          0x062F, 0x20,   0x0635, 0x062D, 0x0649, 0x062D, 0x20,   0x0627,
          0x0646, 0x062C, 0x0627, 0x0645, 0x20,   0x0634, 0x062F, 0x0647},
         true},
        {0xF101,
         {0x0645, 0x0642, 0x062F, 0x0627, 0x0631, 0x20, 0x0648, 0x0644, 0x062A, 0x0627, 0x0698},
         false},
        {0xF102,
         {0x0645, 0x0642, 0x062F, 0x0627, 0x0631, 0x20, 0x0645, 0x0642, 0x0627, 0x0648, 0x0645,
          0x062A},
         false},
        {0xF103,
         {0x0628, 0x0627, 0x062A, 0x0631, 0x0649, 0x20, 0x0633, 0x0627, 0x0644, 0x0645, 0x20,
          0x0627, 0x0633, 0x062A},
         true},
        {0xF104, {0x0639, 0x0648, 0x0636, 0x20, 0x0634, 0x0648, 0x062F}, true},
        {0xF106,
         {0x062F, 0x0648, 0x0628, 0x0627, 0x0631, 0x0647, 0x20, 0x0634, 0x0627, 0x0631, 0x0698,
          0x20,   0x0648, 0x20,   0x062A, 0x0633, 0x062A, 0x20, 0x0634, 0x0648, 0x062F},
         true},
        {0xF107,
         {0x0633, 0x0644, 0x0648, 0x0644, 0x20,   0x0647, 0x0627, 0x0649,
          0x20,   0x0628, 0x0627, 0x062A, 0x0631, 0x0649, 0x20,   0x062E,
          0x0631, 0x0627, 0x0628, 0x20,   0x0627, 0x0633, 0x062A},
         true},
        {0xF108,
         {0x0628, 0x0631, 0x0631, 0x0633, 0x0649, 0x20, 0x062A, 0x0633, 0x062A, 0x0631},
         true},
    };
    for (const Phrase& p : phrases) {
        std::u16string expected(p.points.begin(), p.points.end());
        if (p.lineBreak)
            expected += u"\r\n";
        ASSERT_NE(PrintTextRenderer::FixedPrintText(p.code), nullptr) << p.code;
        EXPECT_EQ(*PrintTextRenderer::FixedPrintText(p.code), expected) << p.code;
    }
    for (const std::uint16_t missing : {0x0000, 0xF105, 0xF109, 0x050F})
        EXPECT_EQ(PrintTextRenderer::FixedPrintText(missing), nullptr) << missing;
}

TEST_F(PrintTextTest, EscapesSplitAtEveryByteActAsWhole) {
    // Colour, code page (to 1251), phrase and text in that code page: however the read cuts
    // the stream, the pane gets the same.
    const Bytes stream =
        Concat({B("ab"), Esc({0x02, 'J'}), B("cd"), Esc({0xFF, 0xFE, 0xE3, 0x04}),
                Esc({'%', '$', 0xF1, 0x04}), Esc({0x01, 'I'}), B("\xCF\xF0\x0D\x0A")});
    const std::vector<TextRun> expected{
        {u"ab", kGreen}, {u"cd\u0639\u0648\u0636 \u0634\u0648\u062F\r", kBlue}, {u"Пр\r", kRed}};
    for (std::size_t split = 1; split < stream.size(); ++split) {
        MainState s;
        RecordingPane p;
        PrintTextRenderer r(s, p);
        r.ProcessPrintChunk(stream.data(), static_cast<int>(split));
        r.ProcessPrintChunk(stream.data() + split, static_cast<int>(stream.size() - split));
        EXPECT_EQ(p.Breaks(), expected) << split;
        EXPECT_EQ(s.PrintCodePage, 1251u) << split;
    }
}

TEST_F(PrintTextTest, ParameterBytesAreTakenAsTheyAre) {
    // A NUL or LF among the parameters is a parameter, not an escape or a skipped byte.
    Feed(Concat({Esc({0xFF, 0xFE, 0x0A, 0x00}), B("x")}));
    EXPECT_EQ(state.PrintCodePage, 10u);
    EXPECT_EQ(pane.Text(), u"x");
}

TEST_F(PrintTextTest, CodePageSwitchDecodesLaterTextAndCutCharactersWaitForTheirRest) {
    // Switch to 936 (GBK), then "宋体" with the second character cut by the read.
    Feed({Concat({B("A "), Esc({0xFF, 0xFE, 0xA8, 0x03}), B("\xCB\xCE\xCC")}), B("\xE5!")});
    EXPECT_EQ(state.PrintCodePage, 936u);
    EXPECT_EQ(pane.Text(), u"A 宋体!");
    // ISO 8859-15 by default, whose 0xA4 is the euro sign.
    MainState s;
    RecordingPane p;
    PrintTextRenderer r(s, p);
    const Bytes euro = B("\xA4");
    r.ProcessPrintChunk(euro.data(), 1);
    EXPECT_EQ(p.Text(), u"€");
}

TEST_F(PrintTextTest, UnconvertibleCodePageShowsIso8859_15) {
    Feed(Concat({Esc({0xFF, 0xFE, 0x39, 0x30}), B("5 \xA4")})); // code page 12345
    EXPECT_EQ(state.PrintCodePage, 12345u);
    EXPECT_EQ(pane.Text(), u"5 €");
}

TEST_F(PrintTextTest, CrLfSplitByTheReadKeepsOneLineBreak) {
    Feed({B("Hello\r"), B("\nWorld"), B("\n!")});
    EXPECT_EQ(pane.Text(), u"Hello\rWorld!");
    EXPECT_EQ(pane.appends, 3);
}

TEST_F(PrintTextTest, ClearRestoresGreenAndTheEscapeState) {
    Feed(Concat({Esc({0x01, 'I'}), B("red"), Bytes{0x00, '$'}}));
    EXPECT_EQ(renderer.PrintEscapeState(), 2);
    EXPECT_EQ(renderer.PrintColour(), kRed);
    renderer.Clear();
    EXPECT_EQ(pane.clears, 1);
    EXPECT_EQ(pane.clearColour, kGreen);
    Feed(B("$after"));
    EXPECT_EQ(pane.runs, (std::vector<TextRun>{{u"$after", kGreen}}));
}

} // namespace
