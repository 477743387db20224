#include "content/dtc_database.h"

#include "platform/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// White space as the C library's scanning sees it.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Windows-1252 maps every byte to one UTF-16 unit (bytes it leaves undefined to U+FFFD): one
// table built once serves every field, where a converter per field would be slow on a large file
// written on Windows.
std::u16string FromWindows1252(std::string_view bytes) {
    static const std::u16string table = [] {
        std::string all(256, '\0');
        for (int b = 0; b < 256; ++b)
            all[static_cast<std::size_t>(b)] = static_cast<char>(b);
        std::u16string units = platform::ToUtf16(1252, all);
        return units.size() == 256 ? units : platform::Latin1ToUtf16(all);
    }();
    std::u16string text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        text += table[static_cast<unsigned char>(c)];
    return text;
}

// One field, cut to the longest run that fits, decoded.  A field that is valid UTF-8 is cut
// before a whole character so that the cut does not turn it into something else.
std::u16string DecodeField(std::string_view field) {
    // Most fields are plain ASCII, which every one of the encodings reads alike.
    if (std::all_of(field.begin(), field.end(), [](char c) { return (c & 0x80) == 0; }))
        return std::u16string(field.begin(),
                              field.begin() + std::min(field.size(), kDtcFieldMaxBytes));
    if (auto text = platform::Utf8ToUtf16(field)) {
        if (field.size() <= kDtcFieldMaxBytes)
            return std::move(*text);
        std::size_t cut = kDtcFieldMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80)
            --cut;
        return platform::Utf8ToUtf16(field.substr(0, cut)).value_or(std::u16string());
    }
    return FromWindows1252(field.substr(0, kDtcFieldMaxBytes));
}

// The whole content of a regular file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadRegularFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return content;
}

} // namespace

std::vector<DtcEntry> ParseDtcDatabase(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    std::vector<DtcEntry> entries;
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    for (;;) {
        while (i < n && IsSpace(bytes[i]))
            ++i;
        const std::size_t codeStart = i;
        while (i < n && !IsSpace(bytes[i]))
            ++i;
        const std::string_view code = bytes.substr(codeStart, i - codeStart);
        // The description may begin on a later line: every kind of white space is skipped.
        while (i < n && IsSpace(bytes[i]))
            ++i;
        const std::size_t descriptionStart = i;
        while (i < n && !IsLineBreak(bytes[i]))
            ++i;
        const std::string_view description = bytes.substr(descriptionStart, i - descriptionStart);
        if (code.empty() || description.empty())
            break;
        entries.push_back({DecodeField(code), DecodeField(description)});
    }
    return entries;
}

DtcDatabase LoadDtcDatabase(const std::string& executableDir) {
    for (const std::string& path :
         {std::string(kDtcDatabaseRelativePath), executableDir + kDtcDatabaseRelativePath}) {
        if (auto content = ReadRegularFile(path))
            return {path, ParseDtcDatabase(*content)};
    }
    return {};
}

std::u16string DtcCaption(const DtcEntry& entry) {
    return u" " + entry.Code;
}

std::u16string DtcSubItem(const DtcEntry& entry) {
    return u"\u3000" + entry.Description;
}
