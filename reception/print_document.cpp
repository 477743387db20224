#include "reception/print_document.h"

#include "platform/text_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint32_t kChunkUnits = 1u << 16; // characters per storage chunk

void AppendEscaped(std::string& html, std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        switch (c) {
        case u'&':
            escaped += u"&amp;";
            break;
        case u'<':
            escaped += u"&lt;";
            break;
        case u'>':
            escaped += u"&gt;";
            break;
        case u'"':
            escaped += u"&quot;";
            break;
        default:
            escaped += c;
        }
    }
    html += platform::Utf16ToUtf8(escaped);
}

} // namespace

PrintDocument::PrintDocument(std::uint32_t colour) {
    Clear(colour);
}

void PrintDocument::Clear(std::uint32_t colour) {
    chunks_.clear();
    lines_.assign(1, LineRef{0, 0, 0});
    runs_.assign(1, ColourRun{0, 0, colour});
    afterCarriageReturn_ = false;
    longest_ = 0;
}

std::u16string_view PrintDocument::Line(int index) const {
    const LineRef& line = lines_.at(static_cast<std::size_t>(index));
    if (line.length == 0)
        return {};
    return {chunks_[line.chunk].data.get() + line.offset, line.length};
}

TextPosition PrintDocument::End() const {
    return {LineCount() - 1, static_cast<int>(lines_.back().length)};
}

void PrintDocument::Append(std::u16string_view text, std::uint32_t colour) {
    if (text.empty())
        return;
    if (colour != runs_.back().colour) {
        const TextPosition end = End();
        const ColourRun& last = runs_.back();
        if (static_cast<int>(last.line) != end.line || static_cast<int>(last.column) != end.column)
            runs_.push_back({static_cast<std::uint32_t>(end.line),
                             static_cast<std::uint32_t>(end.column), colour});
        else if (runs_.size() > 1 && runs_[runs_.size() - 2].colour == colour)
            runs_.pop_back(); // nothing was written in between: back to the colour before
        else
            runs_.back().colour = colour; // nothing was written in the previous colour
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'\r' && c != u'\n') {
            afterCarriageReturn_ = false;
            continue;
        }
        AppendToLastLine(text.data() + start, i - start);
        start = i + 1;
        if (c == u'\n' && afterCarriageReturn_) {
            afterCarriageReturn_ = false; // the LF of a CR LF pair
            continue;
        }
        NewLine();
        afterCarriageReturn_ = c == u'\r';
    }
    AppendToLastLine(text.data() + start, text.size() - start);
}

void PrintDocument::AppendToLastLine(const char16_t* text, std::size_t count) {
    if (count == 0)
        return;
    LineRef& line = lines_.back();
    const auto needed = static_cast<std::uint32_t>(line.length + count);
    bool fits = false;
    if (!chunks_.empty()) {
        Chunk& last = chunks_.back();
        if (line.length == 0) {
            line.chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
            line.offset = last.size;
        }
        fits = line.chunk == chunks_.size() - 1 && line.offset + line.length == last.size &&
               last.size + count <= last.capacity;
    }
    if (!fits) {
        // A new chunk, with the line's text so far moved along; a line longer than a chunk
        // gets a chunk of its own that doubles as it grows.
        Chunk chunk;
        chunk.capacity = std::max(kChunkUnits, needed * 2);
        chunk.data.reset(new char16_t[chunk.capacity]);
        if (line.length > 0)
            std::memcpy(chunk.data.get(), chunks_[line.chunk].data.get() + line.offset,
                        line.length * sizeof(char16_t));
        chunk.size = line.length;
        const bool alone = !chunks_.empty() && line.offset == 0 && line.length > 0 &&
                           line.chunk == chunks_.size() - 1;
        if (alone) {
            chunks_.back() = std::move(chunk); // the old chunk held nothing else
        } else {
            chunks_.push_back(std::move(chunk));
        }
        line.chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
        line.offset = 0;
    }
    Chunk& chunk = chunks_.back();
    std::memcpy(chunk.data.get() + chunk.size, text, count * sizeof(char16_t));
    chunk.size += static_cast<std::uint32_t>(count);
    line.length = needed;
    longest_ = std::max(longest_, static_cast<int>(needed));
}

void PrintDocument::NewLine() {
    const auto chunk = static_cast<std::uint32_t>(chunks_.empty() ? 0 : chunks_.size() - 1);
    lines_.push_back({chunk, chunks_.empty() ? 0 : chunks_.back().size, 0});
}

TextPosition PrintDocument::Clamp(TextPosition at) const {
    at.line = std::clamp(at.line, 0, LineCount() - 1);
    at.column = std::clamp(at.column, 0,
                           static_cast<int>(lines_[static_cast<std::size_t>(at.line)].length));
    return at;
}

std::size_t PrintDocument::RunAt(TextPosition at) const {
    const auto after = std::upper_bound(
        runs_.begin(), runs_.end(), at, [](const TextPosition& p, const ColourRun& r) {
            return p < TextPosition{static_cast<int>(r.line), static_cast<int>(r.column)};
        });
    return static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - runs_.begin() - 1, 0));
}

void PrintDocument::LineRuns(int index, std::vector<std::pair<int, std::uint32_t>>& out) const {
    out.clear();
    std::size_t r = RunAt({index, 0});
    out.emplace_back(0, runs_[r].colour);
    for (++r; r < runs_.size() && static_cast<int>(runs_[r].line) == index; ++r) {
        if (out.back().first == static_cast<int>(runs_[r].column))
            out.back().second = runs_[r].colour;
        else
            out.emplace_back(static_cast<int>(runs_[r].column), runs_[r].colour);
    }
}

std::uint32_t PrintDocument::ColourAt(TextPosition at) const {
    return runs_[RunAt(at)].colour;
}

std::u16string PrintDocument::Text(TextPosition from, TextPosition to) const {
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    std::u16string text;
    for (int l = from.line; l <= to.line; ++l) {
        const std::u16string_view line = Line(l);
        const auto begin = static_cast<std::size_t>(l == from.line ? from.column : 0);
        const auto end = l == to.line ? static_cast<std::size_t>(to.column) : line.size();
        text.append(line.substr(begin, end - begin));
        if (l != to.line)
            text += u'\n';
    }
    return text;
}

std::string PrintDocument::Html(TextPosition from, TextPosition to) const {
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    std::string html = "<html><head><meta charset=\"utf-8\"></head><body>\n";
    std::vector<std::pair<int, std::uint32_t>> runs;
    for (int l = from.line; l <= to.line; ++l) {
        const std::u16string_view line = Line(l);
        const int begin = l == from.line ? from.column : 0;
        const int end = l == to.line ? to.column : static_cast<int>(line.size());
        html += "<p style=\"margin:0; white-space:pre\">";
        if (begin >= end)
            html += "<br>";
        LineRuns(l, runs);
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const int runBegin = std::max(begin, runs[r].first);
            const int runEnd = std::min(end, r + 1 < runs.size() ? runs[r + 1].first : end);
            if (runBegin >= runEnd)
                continue;
            const std::uint32_t c = runs[r].second;
            char span[48];
            std::snprintf(span, sizeof span, "<span style=\"color:#%02x%02x%02x\">", c & 0xFF,
                          (c >> 8) & 0xFF, (c >> 16) & 0xFF);
            html += span;
            AppendEscaped(html, line.substr(static_cast<std::size_t>(runBegin),
                                            static_cast<std::size_t>(runEnd - runBegin)));
            html += "</span>";
        }
        html += "</p>\n";
    }
    html += "</body></html>\n";
    return html;
}

std::vector<std::uint8_t> PrintDocument::Utf16LeLines() const {
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    int count = LineCount();
    if (lines_.back().length == 0)
        --count; // the empty line after the last line break
    std::size_t total = 2;
    for (int l = 0; l < count; ++l)
        total += (Line(l).size() + 2) * 2;
    bytes.reserve(total);
    const auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (int l = 0; l < count; ++l) {
        for (const char16_t c : Line(l))
            put(c);
        put(u'\r');
        put(u'\n');
    }
    return bytes;
}

std::size_t PrintDocument::MemoryBytes() const {
    std::size_t bytes = lines_.capacity() * sizeof(LineRef) + runs_.capacity() * sizeof(ColourRun);
    for (const Chunk& c : chunks_)
        bytes += c.capacity * sizeof(char16_t);
    return bytes;
}
