#include "reception/print_text.h"

#include "core/main_state.h"

#include <algorithm>
#include <array>

namespace {

// Escape states: 0 text; 1 after NUL; 2 after NUL "$"; 3 after NUL "$$" (selector expected);
// 4 ... 12 colour selector 1 ... 9 seen; 14 code-page selector seen; 15 fixed-text selector seen;
// 16, 17 the code page's low and high byte expected; 18, 19 the phrase code's high and low byte
// expected.  The two parameter bytes are taken as they come, also from the next chunk.
enum : int {
    kText = 0,
    kAfterNul = 1,
    kAfterNulDollar = 2,
    kSelector = 3,
    kColourFirst = 4,
    kColourLast = 12,
    kCodePage = 14,
    kFixedText = 15,
    kCodePageLow = 16,
    kCodePageHigh = 17,
    kFixedHigh = 18,
    kFixedLow = 19,
};

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr char16_t kDelete = 0x7F;
constexpr char16_t kOmega = 0x03A9;

constexpr std::array<std::uint32_t, 9> kSelectorColours = {
    0x0000FF, 0xFF6600, 0xBB3399, 0xAA4466, 0x995555, 0x776644, 0x557733, 0x448822, 0x3399BB};

struct FixedText {
    std::uint16_t code;
    std::u16string text;
};

// The Persian phrases of the battery test report, code points exactly as the ScanTool means them
// (U+0649 included, not U+06CC).
const std::array<FixedText, 8>& FixedTexts() {
    static const std::array<FixedText, 8> texts = {{
        // recharge completed correctly
        {0x0F05, u"\u0634\u0627\u0631\u0698 \u0645\u062C\u062F\u062F "
                 u"\u0635\u062D\u0649\u062D \u0627\u0646\u062C\u0627\u0645 "
                 u"\u0634\u062F\u0647\r\n"},
        // voltage value
        {0xF101, u"\u0645\u0642\u062F\u0627\u0631 \u0648\u0644\u062A\u0627\u0698"},
        // resistance value
        {0xF102, u"\u0645\u0642\u062F\u0627\u0631 \u0645\u0642\u0627\u0648\u0645\u062A"},
        // battery is healthy
        {0xF103, u"\u0628\u0627\u062A\u0631\u0649 \u0633\u0627\u0644\u0645 "
                 u"\u0627\u0633\u062A\r\n"},
        // to be replaced
        {0xF104, u"\u0639\u0648\u0636 \u0634\u0648\u062F\r\n"},
        // to be recharged and tested again
        {0xF106, u"\u062F\u0648\u0628\u0627\u0631\u0647 \u0634\u0627\u0631\u0698 "
                 u"\u0648 \u062A\u0633\u062A \u0634\u0648\u062F\r\n"},
        // battery cells are faulty
        {0xF107, u"\u0633\u0644\u0648\u0644 \u0647\u0627\u0649 "
                 u"\u0628\u0627\u062A\u0631\u0649 \u062E\u0631\u0627\u0628 "
                 u"\u0627\u0633\u062A\r\n"},
        // check the tester
        {0xF108, u"\u0628\u0631\u0631\u0633\u0649 \u062A\u0633\u062A\u0631\r\n"},
    }};
    return texts;
}

} // namespace

PrintTextRenderer::PrintTextRenderer(MainState& state, IPrintPane& pane)
    : state_(state), pane_(pane), decoder_(28605) {}

std::uint32_t PrintTextRenderer::SelectorColour(int selector) {
    return kSelectorColours.at(static_cast<std::size_t>(selector - 1));
}

const std::u16string* PrintTextRenderer::FixedPrintText(std::uint16_t code) {
    for (const FixedText& fixed : FixedTexts())
        if (fixed.code == code)
            return &fixed.text;
    return nullptr;
}

void PrintTextRenderer::ProcessPrintChunk(const std::uint8_t* b, int n) {
    if (n < 1)
        return;
    lineCount_ = 0;
    for (int pos = 0; pos < n; ++pos) {
        const std::uint8_t byte = b[pos];
        if (escapeState_ >= kCodePageLow) {
            TakeParameter(byte);
            continue;
        }
        if (byte == 0x00) {
            escapeState_ = kAfterNul;
            continue;
        }
        // A lone LF is no line break; the one of a CR LF pair is.  The byte before the first
        // one of a chunk is the last byte of the previous chunk, so a pair split by the read
        // keeps its break.
        const std::uint8_t before = pos > 0 ? b[pos - 1] : lastByte_;
        if (byte == kLf && before != kCr)
            continue;

        switch (escapeState_) {
        case kText:
            if (lineCount_ == kLineBufferSize)
                Flush(true);
            line_[lineCount_++] = byte;
            break;
        case kAfterNul:
        case kAfterNulDollar:
            escapeState_ = byte == '$' ? escapeState_ + 1 : kText;
            break;
        case kSelector:
            if (byte >= 1 && byte <= 9)
                escapeState_ = kSelector + byte;
            else if (byte == '%')
                escapeState_ = kFixedText;
            else if (byte == 0xFF)
                escapeState_ = kCodePage;
            else
                escapeState_ = kText;
            break;
        case kCodePage:
        case kFixedText:
            // The text before the escape is shown first, in its own code page, whatever the
            // marker byte turns out to be.
            Flush(false);
            escapeState_ = escapeState_ == kCodePage ? kCodePageLow : kFixedHigh;
            break;
        default: { // kColourFirst ... kColourLast
            const int selector = escapeState_ - kSelector;
            if (byte == 0x48 + selector) {
                Flush(false);
                colour_ = SelectorColour(selector);
            }
            escapeState_ = kText;
            break;
        }
        }
    }
    Flush(true);
    lastByte_ = b[n - 1];
}

void PrintTextRenderer::TakeParameter(std::uint8_t byte) {
    switch (escapeState_) {
    case kCodePageLow:
    case kFixedHigh:
        parameter_ = byte;
        ++escapeState_;
        return;
    case kCodePageHigh:
        state_.PrintCodePage = static_cast<std::uint32_t>(parameter_ | byte << 8);
        break;
    default: // kFixedLow
        InsertFixedPrintText(static_cast<std::uint16_t>(parameter_ << 8 | byte));
        break;
    }
    escapeState_ = kText;
}

void PrintTextRenderer::Flush(bool endOfChunk) {
    if (lineCount_ == 0 && decoder_.HeldBytes() == 0)
        return;
    converted_.clear();
    decoder_.Decode(state_.PrintCodePage,
                    std::string_view(reinterpret_cast<const char*>(line_),
                                     static_cast<std::size_t>(lineCount_)),
                    endOfChunk, converted_);
    lineCount_ = 0;
    AppendPrintText(converted_);
}

void PrintTextRenderer::AppendPrintText(std::u16string& text) {
    // The LF of a CR LF pair whose CR is already shown adds no second break.
    const std::size_t start = shownCarriage_ && !text.empty() && text[0] == u'\n' ? 1 : 0;
    if (start == text.size())
        return;
    std::replace(text.begin(), text.end(), kDelete, kOmega);
    pane_.AppendText(std::u16string_view(text).substr(start), colour_);
    shownCarriage_ = text.back() == u'\r';
}

void PrintTextRenderer::InsertFixedPrintText(std::uint16_t code) {
    if (const std::u16string* text = FixedPrintText(code)) {
        pane_.AppendText(*text, colour_);
        shownCarriage_ = false;
    }
}

void PrintTextRenderer::Clear() {
    pane_.Clear(kDefaultPrintColour);
    escapeState_ = kText;
    colour_ = kDefaultPrintColour;
    shownCarriage_ = false;
}
