#include "platform/ini_file.h"

#include "platform/atomic_file.h"
#include "platform/text_codec.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kUtf16Mark{"\xFF\xFE", 2};
constexpr std::string_view kUtf8Mark{"\xEF\xBB\xBF", 3};

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char16_t FoldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

std::u16string NameOf(std::string_view utf8) {
    auto text = platform::Utf8ToUtf16(utf8);
    return text ? *text : platform::Latin1ToUtf16(utf8);
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != u'[')
        return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = line.find(u']');
    if (close != std::u16string_view::npos)
        line = line.substr(0, close);
    return Trim(line);
}

// Key and raw value of a "key=value" line, or nullopt when the line has no '='.
std::optional<std::pair<std::u16string_view, std::u16string_view>>
KeyValue(std::u16string_view line) {
    const std::size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos)
        return std::nullopt;
    return std::make_pair(Trim(line.substr(0, eq)), line.substr(eq + 1));
}

std::u16string CleanValue(std::u16string_view raw) {
    std::u16string_view value = Trim(raw);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kIniMaxValueLength) {
        value = value.substr(0, kIniMaxValueLength);
        // Never hand out half of a surrogate pair.
        if (value.back() >= 0xD800 && value.back() <= 0xDBFF)
            value.remove_suffix(1);
    }
    return std::u16string(value);
}

// How a value must be written so that it reads back unchanged.
std::u16string QuoteForWriting(std::u16string_view value) {
    std::u16string clean(value);
    for (char16_t& c : clean)
        if (c == u'\r' || c == u'\n')
            c = u' ';
    const bool needsQuotes =
        !clean.empty() &&
        (IsBlank(clean.front()) || IsBlank(clean.back()) ||
         (clean.size() >= 2 && (clean.front() == u'"' || clean.front() == u'\'') &&
          clean.back() == clean.front()));
    return needsQuotes ? u"\"" + clean + u"\"" : clean;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return false;
    bytes = content.str();
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Replaces `target` with `bytes`, atomically where the folder allows it.  A read-only file stays
// as it is, also for a user whom the system would let write it.
bool ReplaceFile(const std::string& target, std::string_view bytes) {
    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && (access(target.c_str(), W_OK) != 0 || (info.st_mode & 0222) == 0))
        return false;
    const int error = platform::WriteFileAtomically(target, bytes.data(), bytes.size());
    if (error == 0)
        return true;
    // A file the user may write in a folder the user may not (an administrator's setup): no
    // temporary file can be made beside it, so it is rewritten where it stands.
    if (exists && (error == EACCES || error == EPERM))
        return platform::WriteFileInPlace(target, bytes.data(), bytes.size()) == 0;
    return false;
}

} // namespace

bool IniFile::Open(const std::string& path, std::string* error) {
    path_ = path;
    bytes_.clear();
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            const bool written = WriteAll(fd, kEmptyUtf16IniFile);
            if (close(fd) != 0 || !written) {
                unlink(path.c_str());
                if (error)
                    *error = "Cannot create file " + path;
                Parse();
                return false;
            }
        } else if (errno != EEXIST) {
            if (error)
                *error = "Cannot create file " + path;
            Parse();
            return false;
        }
    }
    // Unreadable means no keys: every read gives its default.
    if (!ReadWholeFile(path, bytes_))
        bytes_.clear();
    Parse();
    return true;
}

bool IniFile::OpenExisting(const std::string& path) {
    path_ = path;
    bytes_.clear();
    const bool read = ReadWholeFile(path, bytes_);
    Parse();
    return read;
}

void IniFile::Load(std::string bytes) {
    path_.clear();
    bytes_ = std::move(bytes);
    Parse();
}

void IniFile::Parse() {
    lines_.clear();
    latin1_ = false;
    std::size_t start = 0;
    std::size_t unit = 1;
    if (bytes_.empty() || bytes_.starts_with(kUtf16Mark)) {
        encoding_ = IniEncoding::Utf16Le;
        start = bytes_.empty() ? 0 : kUtf16Mark.size();
        unit = 2;
    } else if (bytes_.starts_with(kUtf8Mark)) {
        encoding_ = IniEncoding::Utf8WithMark;
        start = kUtf8Mark.size();
    } else {
        encoding_ = IniEncoding::EightBit;
    }

    const std::size_t usable = bytes_.size() - (bytes_.size() - start) % unit;
    std::size_t lineBegin = start;
    auto unitAt = [&](std::size_t pos) -> char16_t {
        if (unit == 1)
            return static_cast<unsigned char>(bytes_[pos]);
        return static_cast<char16_t>(static_cast<unsigned char>(bytes_[pos]) |
                                     (static_cast<unsigned char>(bytes_[pos + 1]) << 8));
    };
    for (std::size_t pos = start; pos <= usable; pos += unit) {
        if (pos < usable && unitAt(pos) != u'\n')
            continue;
        if (pos == usable && lineBegin == usable && !lines_.empty())
            break; // the file ends with a line break: no further line
        Line line;
        line.begin = lineBegin;
        line.end = pos;
        if (line.end > line.begin && unitAt(line.end - unit) == u'\r')
            line.end -= unit;
        if (unit == 2) {
            for (std::size_t p = line.begin; p < line.end; p += 2)
                line.text += unitAt(p);
        } else {
            const std::string_view raw(bytes_.data() + line.begin, line.end - line.begin);
            if (auto text = platform::Utf8ToUtf16(raw)) {
                line.text = std::move(*text);
            } else {
                line.text = platform::Latin1ToUtf16(raw);
                latin1_ = true;
            }
        }
        lines_.push_back(std::move(line));
        lineBegin = pos + unit;
    }
}

std::u16string IniFile::ReadString(std::string_view section, std::string_view key,
                                   std::u16string_view defaultValue) const {
    const std::u16string wantedSection = NameOf(section);
    const std::u16string wantedKey = NameOf(key);
    bool inSection = false;
    for (const Line& line : lines_) {
        if (auto name = SectionName(line.text)) {
            inSection = SameName(*name, wantedSection);
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = KeyValue(line.text); kv && SameName(kv->first, wantedKey))
            return CleanValue(kv->second);
    }
    return std::u16string(defaultValue);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const std::u16string text = ReadString(section, key, u"");
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+'))
        negative = text[pos++] == u'-';
    int base = 10;
    if (pos + 1 < text.size() && text[pos] == u'0' &&
        (text[pos + 1] == u'x' || text[pos + 1] == u'X')) {
        base = 16;
        pos += 2;
    }
    long long value = 0;
    std::size_t digits = 0;
    for (; pos < text.size(); ++pos, ++digits) {
        const char16_t c = text[pos];
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            break;
        value = value * base + digit;
        if (value > static_cast<long long>(INT_MAX) + 1)
            return defaultValue;
    }
    if (digits == 0)
        return defaultValue;
    value = negative ? -value : value;
    if (value > INT_MAX || value < INT_MIN)
        return defaultValue;
    return static_cast<int>(value);
}

std::string IniFile::Encode(std::u16string_view text) const {
    std::string out;
    switch (encoding_) {
    case IniEncoding::Utf16Le:
        for (const char16_t c : text) {
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>(c >> 8);
        }
        break;
    case IniEncoding::Utf8WithMark:
        out = platform::Utf16ToUtf8(text);
        break;
    case IniEncoding::EightBit:
        if (!latin1_)
            return platform::Utf16ToUtf8(text);
        for (const char16_t c : text)
            out += c <= 0xFF ? static_cast<char>(c) : '?';
        break;
    }
    return out;
}

std::string IniFile::LineBreak() const {
    // New lines follow the file's own line breaks; CR LF for a file that has none yet.
    const std::string crlf = Encode(u"\r\n");
    const std::string lf = Encode(u"\n");
    if (bytes_.find(crlf) == std::string::npos && bytes_.find(lf) != std::string::npos)
        return lf;
    return crlf;
}

std::string IniFile::ContentWithValue(std::string_view section, std::string_view key,
                                      std::u16string_view value) const {
    if (bytes_.empty()) {
        IniFile fresh;
        fresh.Load(std::string(kEmptyUtf16IniFile));
        return fresh.ContentWithValue(section, key, value);
    }
    const std::u16string wantedSection = NameOf(section);
    const std::u16string wantedKey = NameOf(key);
    const std::string keyLine = Encode(wantedKey + u"=" + QuoteForWriting(value));
    const std::string lineBreak = LineBreak();

    std::size_t sectionLine = std::string::npos; // header of the first matching section
    std::size_t lastContent = std::string::npos; // its last non-blank line
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (auto name = SectionName(line.text)) {
            if (inSection)
                break; // the first matching section ends here
            inSection = SameName(*name, wantedSection);
            if (inSection)
                sectionLine = lastContent = i;
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = KeyValue(line.text); kv && SameName(kv->first, wantedKey)) {
            std::string out = bytes_;
            out.replace(line.begin, line.end - line.begin, keyLine);
            return out;
        }
        if (!Trim(line.text).empty())
            lastContent = i;
    }
    std::string out = bytes_;
    if (sectionLine != std::string::npos) {
        out.insert(lines_[lastContent].end, lineBreak + keyLine);
        return out;
    }
    // A UTF-16 file cut after an odd byte: that byte is no character, and text appended after it
    // would be read one byte out of step.
    if (encoding_ == IniEncoding::Utf16Le && out.size() % 2 != 0)
        out.pop_back();
    const std::string lf = Encode(u"\n");
    const bool endsWithBreak = out.size() >= lf.size() && out.ends_with(lf);
    const bool hasContent = bytes_.size() > lines_.front().begin;
    if (hasContent && !endsWithBreak)
        out += lineBreak;
    out += Encode(u"[" + wantedSection + u"]") + lineBreak + keyLine + lineBreak;
    return out;
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::u16string_view value,
                          std::string* error) {
    auto fail = [&] {
        if (error)
            *error = "Unable to write to " + path_;
        return false;
    };
    if (path_.empty())
        return fail();
    // Write through a symbolic link to the file it names instead of replacing the link.
    std::string target = path_;
    if (char* real = realpath(path_.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    // Another writer may have changed the file since it was opened: start from its current state.
    IniFile current;
    std::string onDisk;
    struct stat info {};
    if (stat(target.c_str(), &info) == 0) {
        if (!ReadWholeFile(target, onDisk))
            return fail();
    }
    current.Load(std::move(onDisk));
    const std::string updated = current.ContentWithValue(section, key, value);
    if (!ReplaceFile(target, updated))
        return fail();
    bytes_ = updated;
    Parse();
    return true;
}
