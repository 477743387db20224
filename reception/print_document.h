#pragma once
// The received report as the Print page keeps it: lines of UTF-16 text with colour runs, stored
// compactly (a report of megabytes costs about twice its size) and only ever appended to or
// cleared.  CR, LF and CR LF each end a line, also when a CR LF pair is split between appends.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TextPosition {
    int line = 0;
    int column = 0;
    auto operator<=>(const TextPosition&) const = default;
};

class PrintDocument {
public:
    explicit PrintDocument(std::uint32_t colour);

    // Appends `text` in `colour` (0x00BBGGRR) at the end.
    void Append(std::u16string_view text, std::uint32_t colour);
    // Empties the document; text appended next without a colour change has `colour`.
    void Clear(std::uint32_t colour);

    // At least one line: the last one is the line being written (empty after a line break).
    int LineCount() const { return static_cast<int>(lines_.size()); }
    std::u16string_view Line(int index) const;
    TextPosition End() const;
    bool Empty() const { return lines_.size() == 1 && lines_[0].length == 0; }
    // Longest line in characters, for a first guess at the text's width.
    int LongestLine() const { return longest_; }

    // The colour changes within a line: (column, colour), the first at column 0.
    void LineRuns(int index, std::vector<std::pair<int, std::uint32_t>>& out) const;
    std::uint32_t ColourAt(TextPosition at) const;

    // The text from `from` to `to` (clamped, in either order), lines joined by "\n".
    std::u16string Text(TextPosition from, TextPosition to) const;
    // The same as UTF-8 HTML, each line a paragraph, each colour run a coloured span.
    std::string Html(TextPosition from, TextPosition to) const;
    // Every line with CR LF after it, as UTF-16 little-endian after the byte-order mark FF FE;
    // the empty line after a final line break is not a line.
    std::vector<std::uint8_t> Utf16LeLines() const;

    // Bytes held for the text, its lines and colour runs.
    std::size_t MemoryBytes() const;

private:
    struct LineRef {
        std::uint32_t chunk;
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct Chunk {
        std::unique_ptr<char16_t[]> data;
        std::uint32_t size = 0;
        std::uint32_t capacity = 0;
    };
    struct ColourRun {
        std::uint32_t line;
        std::uint32_t column;
        std::uint32_t colour;
    };

    void AppendToLastLine(const char16_t* text, std::size_t count);
    void NewLine();
    TextPosition Clamp(TextPosition at) const;
    // Index of the run in force at `at`.
    std::size_t RunAt(TextPosition at) const;

    std::vector<Chunk> chunks_;
    std::vector<LineRef> lines_;
    std::vector<ColourRun> runs_;
    bool afterCarriageReturn_ = false;
    int longest_ = 0;
};
