// The text side of the HTTP client: URLs, response heads, redirect targets, host names.
#include "upgrade/http_client.h"

#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Case-insensitive search that folds case by setting bit 0x20 of both characters, enough for
// the ASCII field names searched here.  Searches [from, end) of `text`.
std::size_t FindFolded(std::string_view text, std::size_t from, std::size_t end,
                       std::string_view needle) {
    if (end > text.size())
        end = text.size();
    for (std::size_t i = from; i + needle.size() <= end; ++i) {
        std::size_t k = 0;
        while (k < needle.size() && (static_cast<unsigned char>(text[i + k]) | 0x20) ==
                                        (static_cast<unsigned char>(needle[k]) | 0x20))
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

// Decimal digits from `pos`, stopping before a value that no longer fits `limit`.
long ReadDecimal(std::string_view text, std::size_t& pos, long limit, bool& overflow) {
    long value = 0;
    overflow = false;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > limit) {
            overflow = true;
            value = limit;
        }
    }
    return value;
}

} // namespace

std::optional<std::size_t> ParseUrl(std::string_view url, int& port, char* host,
                                    std::size_t hostMax) {
    port = 80;
    for (char c : url) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return std::nullopt;
    }
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || url.substr(colon + 1, 2) != "//" || hostMax == 0)
        return std::nullopt;
    std::size_t copied = 0;
    std::size_t i = colon + 3;
    for (;;) {
        if (i == url.size() || url[i] == '/') {
            host[copied] = '\0';
            return i;
        }
        if (url[i] == ':') {
            ++i;
            bool overflow = false;
            port = static_cast<int>(ReadDecimal(url, i, 65536, overflow));
            if (port > 65535)
                return std::nullopt;
            continue;
        }
        if (copied + 1 >= hostMax)
            return std::nullopt;
        host[copied++] = url[i++];
    }
}

int ParseResponseHead(const char* head, std::size_t size, int& offset, int& length) {
    const std::string_view text(head, size);
    if (size < 4)
        return text == std::string_view("HTTP", size) ? 0 : -1;
    if (text.substr(0, 4) != "HTTP")
        return -1;
    // Wait for the whole status line, so that a head read in pieces is judged as one.
    const std::size_t lineEnd = text.find("\r\n");
    if (lineEnd == std::string_view::npos)
        return 0;
    std::size_t pos = 4;
    while (pos < lineEnd && !IsBlank(text[pos]))
        ++pos;
    while (pos < lineEnd && IsBlank(text[pos]))
        ++pos;
    bool overflow = false;
    const int status = static_cast<int>(ReadDecimal(text, pos, 100000, overflow));
    if (status != 200 && status != 301 && status != 302)
        return -1;
    // The header fields are only those before the blank line; the body is never searched.
    const std::size_t blank = text.find("\r\n\r\n", pos);
    if (blank == std::string_view::npos)
        return 0;
    if (status == 200) {
        length = -1;
        std::size_t field = FindFolded(text, pos, blank + 2, "Content-Length:");
        if (field != std::string_view::npos) {
            field += std::strlen("Content-Length:");
            while (field < blank && IsBlank(text[field]))
                ++field;
            length = static_cast<int>(ReadDecimal(text, field, 0x7FFFFFFF, overflow));
        }
        offset = static_cast<int>(blank + 4);
        return 200;
    }
    std::size_t value = FindFolded(text, pos, blank + 2, "location:");
    if (value == std::string_view::npos)
        return -1;
    value += std::strlen("location:");
    while (value < blank && IsBlank(text[value]))
        ++value;
    std::size_t end = text.find("\r\n", value);
    while (end > value && IsBlank(text[end - 1]))
        --end;
    if (end == value)
        return -1;
    offset = static_cast<int>(value);
    length = static_cast<int>(end - value);
    return status;
}

std::optional<platform::NetAddress> ResolveHost(const std::string& name) {
    return platform::ResolveHostName(name);
}

std::string ResolveLocation(std::string_view current, std::string_view location) {
    if (location.find("://") != std::string_view::npos)
        return std::string(location);
    const std::size_t schemeEnd = current.find("://");
    if (schemeEnd == std::string_view::npos)
        return std::string(location);
    if (location.substr(0, 2) == "//")
        return std::string(current.substr(0, schemeEnd + 1)) + std::string(location);
    std::size_t pathStart = current.find('/', schemeEnd + 3);
    if (pathStart == std::string_view::npos)
        pathStart = current.size();
    if (!location.empty() && location[0] == '/')
        return std::string(current.substr(0, pathStart)) + std::string(location);
    std::string_view path = current.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    const std::size_t lastSlash = path.rfind('/');
    const std::string_view dir =
        lastSlash == std::string_view::npos ? std::string_view("/") : path.substr(0, lastSlash + 1);
    return std::string(current.substr(0, pathStart)) + std::string(dir) + std::string(location);
}
