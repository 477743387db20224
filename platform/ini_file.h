#pragma once
// The program's own reader and writer of initialisation files ("[section]" lines and
// "key=value" lines), with the rules that lang.ini relies on:
// - UTF-16 little-endian files with a byte-order mark, and 8-bit files (UTF-8, with or without
//   its mark; a line that is not UTF-8 is read as ISO-8859-1);
// - section and key names compared without regard to letter case; the first matching key wins;
// - blanks around a value dropped, a value wholly enclosed in single or double quotation marks
//   loses them; an absent key gives the default, a present empty key an empty text;
// - at most kIniMaxValueLength characters of a value are used.
// Writing keeps the file's encoding and every other byte, and replaces the file atomically (or,
// when its folder refuses new files, rewrites it in place).
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kIniMaxValueLength = 2047;

// The six bytes of a new, empty file: the UTF-16 LE byte-order mark and one empty line.
inline constexpr std::string_view kEmptyUtf16IniFile{"\xFF\xFE\x0D\x00\x0A\x00", 6};

// The three bytes of a new, empty UTF-8 file: its byte-order mark, which keeps it UTF-8 when
// written to.
inline constexpr std::string_view kEmptyUtf8IniFile{"\xEF\xBB\xBF", 3};

enum class IniEncoding { Utf16Le, Utf8WithMark, EightBit };

class IniFile {
public:
    // Reads `path`, creating it as kEmptyUtf16IniFile when it does not exist.  Returns false with
    // "Cannot create file <path>" in `error` when it must be created and cannot be.  A file that
    // exists but cannot be read gives every key its default.
    bool Open(const std::string& path, std::string* error);

    // Reads `path` when it exists, without creating it; returns whether it was read.  Either way
    // WriteString then writes to `path`.
    bool OpenExisting(const std::string& path);

    // Uses `bytes` as the file's content (no file behind it; WriteString then fails).
    void Load(std::string bytes);

    const std::string& Path() const { return path_; }
    IniEncoding Encoding() const { return encoding_; }

    std::u16string ReadString(std::string_view section, std::string_view key,
                              std::u16string_view defaultValue) const;

    // A decimal number (optional sign) or 0x/0X and hexadecimal digits; trailing text after the
    // digits is ignored.  Missing, empty, not a number or beyond 32 bits gives `defaultValue`.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;

    // Sets section/key to `value` in the file on disk: the file is read again, the first matching
    // key line is replaced (or a key line added at the end of the section, or the section added at
    // the end of the file), and the result written to a temporary file in the same folder that
    // then replaces the original; when the folder refuses the temporary file, the file is
    // rewritten in place.  A read-only file is not replaced.  Returns false with
    // "Unable to write to <path>" in `error` on failure; the file is then unchanged.  The
    // in-memory content follows a successful write.
    bool WriteString(std::string_view section, std::string_view key, std::u16string_view value,
                     std::string* error);

    // The content that WriteString would write: this file's bytes with section/key set to
    // `value`, in this file's encoding.
    std::string ContentWithValue(std::string_view section, std::string_view key,
                                 std::u16string_view value) const;

private:
    struct Line {
        std::size_t begin = 0; // byte offset of the line's first unit
        std::size_t end = 0;   // byte offset after its last unit, before the line break
        std::u16string text;
    };

    void Parse();
    std::string Encode(std::u16string_view text) const;
    std::string LineBreak() const;

    std::string path_;
    std::string bytes_;
    IniEncoding encoding_ = IniEncoding::Utf16Le;
    bool latin1_ = false; // an 8-bit file with text that is not UTF-8
    std::vector<Line> lines_;
};
