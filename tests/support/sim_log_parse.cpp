#include "tests/support/sim_log_parse.h"

#include <cstdlib>

namespace quillon::test {

std::optional<std::string> LogField(const std::string& line, const std::string& key) {
    const std::string needle = "\"" + key + "\":";
    auto pos = line.find(needle);
    if (pos == std::string::npos)
        return std::nullopt;
    pos += needle.size();
    if (pos >= line.size())
        return std::nullopt;
    if (line[pos] != '"') {
        auto end = line.find_first_of(",}", pos);
        return line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    }
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"')
            return out;
        if (c == '\\' && pos + 1 < line.size())
            c = line[++pos];
        out += c;
    }
    return std::nullopt; // unterminated
}

std::vector<std::uint8_t> HexBytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(
            static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

std::optional<SimFrame> ParseSimLogLine(const std::string& line) {
    auto dir = LogField(line, "dir");
    if (!dir)
        return std::nullopt;
    SimFrame f;
    if (*dir == "rx")
        f.dir = SimFrame::Dir::Received;
    else if (*dir == "tx")
        f.dir = SimFrame::Dir::Sent;
    else if (*dir == "junk")
        f.dir = SimFrame::Dir::Junk;
    else if (*dir == "event")
        f.dir = SimFrame::Dir::Event;
    else
        return std::nullopt;
    if (auto t = LogField(line, "t"))
        f.time = std::strtod(t->c_str(), nullptr);
    if (auto m = LogField(line, "marker"))
        f.marker = *m;
    if (auto c = LogField(line, "code"))
        f.code = static_cast<std::uint16_t>(std::strtoul(c->c_str(), nullptr, 10));
    if (auto n = LogField(line, "len"))
        f.length = std::strtoul(n->c_str(), nullptr, 10);
    if (auto p = LogField(line, "payload"))
        f.payload = HexBytes(*p);
    else if (auto r = LogField(line, "raw"))
        f.payload = HexBytes(*r);
    if (auto e = LogField(line, "error"))
        f.error = *e;
    if (auto e = LogField(line, "event"))
        f.event = *e;
    return f;
}

} // namespace quillon::test
