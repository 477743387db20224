#pragma once
// The Print page's text path: the ScanTool's 8-bit report text with its in-band escapes (colour,
// code page, fixed phrases), decoded to Unicode and appended, coloured, to the rich-text pane.
#include "platform/text_codec.h"

#include <cstdint>
#include <string>
#include <string_view>

struct MainState;

// Colours are 0x00BBGGRR, red in the low byte.
inline constexpr std::uint32_t kDefaultPrintColour = 0xEE00;

// The rich-text pane as the text path sees it.
class IPrintPane {
public:
    virtual ~IPrintPane() = default;
    // Gives the pane the focus, puts the caret after the last character and inserts `text` there
    // in `colour`; the insertion cannot be undone.
    virtual void AppendText(std::u16string_view text, std::uint32_t colour) = 0;
    // Empties the pane; its selection colour becomes `colour`.
    virtual void Clear(std::uint32_t colour) = 0;
};

class PrintTextRenderer {
public:
    static constexpr int kLineBufferSize = 1024;

    PrintTextRenderer(MainState& state, IPrintPane& pane);

    // Decodes one chunk of the stream; escapes may be split across chunks.
    void ProcessPrintChunk(const std::uint8_t* chunk, int count);
    // Appends the fixed phrase with this code; codes outside the table append nothing.
    void InsertFixedPrintText(std::uint16_t code);
    // The Clear action's part: escape state 0, colour green, the pane emptied.
    void Clear();

    int PrintEscapeState() const { return escapeState_; }
    std::uint32_t PrintColour() const { return colour_; }

    // The colour of selector 1 ... 9, and the fixed phrase of a code (null when none).
    static std::uint32_t SelectorColour(int selector);
    static const std::u16string* FixedPrintText(std::uint16_t code);

private:
    // Appends the collected text bytes; at the end of a chunk a character cut off by the read
    // waits for the next chunk.
    void Flush(bool endOfChunk);
    // A code page's or phrase code's parameter byte.
    void TakeParameter(std::uint8_t byte);
    void AppendPrintText(std::u16string& text);

    MainState& state_;
    IPrintPane& pane_;
    platform::CodePageDecoder decoder_;
    int escapeState_ = 0;
    std::uint8_t parameter_ = 0; // the first parameter byte of a code-page or phrase escape
    std::uint32_t colour_ = kDefaultPrintColour;
    std::uint8_t line_[kLineBufferSize] = {};
    int lineCount_ = 0;
    std::uint8_t lastByte_ = 0;  // the last byte of the previous chunk
    bool shownCarriage_ = false; // the pane's text ends with a CR
    std::u16string converted_;   // reused for every flush
};
