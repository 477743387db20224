#include "platform/ini_file.h"

#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::Utf16File;
using testutil::WriteFile;

namespace {

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

enum class As { Utf16, Utf8, Utf8Mark };

std::string Encoded(As as, std::u16string_view text) {
    switch (as) {
    case As::Utf16:
        return Utf16File(text);
    case As::Utf8:
        return Utf8(text);
    case As::Utf8Mark:
        return "\xEF\xBB\xBF" + Utf8(text);
    }
    return {};
}

struct ReadCase {
    const char* name;
    std::u16string content;
    const char* section;
    const char* key;
    std::u16string expected; // with default u"<def>"
};

const ReadCase kReadCases[] = {
    {"plain", u"[en]\r\nLabelPrint=Print\r\n", "en", "LabelPrint", u"Print"},
    {"names ignore case", u"[EN]\r\nlabelprint=Print\r\n", "En", "LABELPRINT", u"Print"},
    {"first key wins", u"[en]\r\nk=one\r\nK=two\r\n", "en", "k", u"one"},
    {"first key wins across repeated sections", u"[en]\r\nk=one\r\n[en]\r\nk=two\r\n", "en", "k",
     u"one"},
    {"blanks dropped", u"[en]\r\n  k \t=   spaced  value \t\r\n", "en", "k", u"spaced  value"},
    {"double quotes removed", u"[en]\r\nk=\"  quoted \"\r\n", "en", "k", u"  quoted "},
    {"single quotes removed", u"[en]\r\nk='x'\r\n", "en", "k", u"x"},
    {"unmatched quotes kept", u"[en]\r\nk=\"x'\r\n", "en", "k", u"\"x'"},
    {"inner quotes kept", u"[en]\r\nk=Click \"OK\" now\r\n", "en", "k", u"Click \"OK\" now"},
    {"lone quote kept", u"[en]\r\nk=\"\r\n", "en", "k", u"\""},
    {"absent key gives default", u"[en]\r\nother=1\r\n", "en", "k", u"<def>"},
    {"absent section gives default", u"[de]\r\nk=1\r\n", "en", "k", u"<def>"},
    {"present empty key gives empty", u"[en]\r\nk=\r\n", "en", "k", u""},
    {"key of next section not taken", u"[en]\r\n[de]\r\nk=de\r\n", "en", "k", u"<def>"},
    {"lines before any section ignored", u"k=top\r\n[en]\r\n", "en", "k", u"<def>"},
    {"line feeds only, no final break", u"[en]\nk=v1\nj=v2", "en", "j", u"v2"},
    {"value keeps later equals signs", u"[en]\r\nk=a=b\r\n", "en", "k", u"a=b"},
    {"blanks around section name", u"  [ en ]  \r\nk=v\r\n", "en", "k", u"v"},
    {"non-Latin text", u"[cn]\r\nLabelPrint=打印\r\n", "cn", "LabelPrint", u"打印"},
};

TEST(IniFileRead, RulesHoldForEveryEncoding) {
    for (As as : {As::Utf16, As::Utf8, As::Utf8Mark}) {
        for (const ReadCase& c : kReadCases) {
            IniFile ini;
            ini.Load(Encoded(as, c.content));
            EXPECT_EQ(ini.ReadString(c.section, c.key, u"<def>"), c.expected)
                << c.name << " (encoding " << static_cast<int>(as) << ")";
        }
    }
}

TEST(IniFileRead, EightBitTextThatIsNotUtf8ReadsAsLatin1) {
    IniFile ini;
    ini.Load("[fr]\r\nk=Fran\xE7"
             "ais\r\n");
    EXPECT_EQ(ini.ReadString("fr", "k", u""), u"Français");
    EXPECT_EQ(ini.Encoding(), IniEncoding::EightBit);
}

TEST(IniFileRead, IntegersAreDecimalOrHexadecimalElseTheDefault) {
    const struct {
        const char16_t* line; // the [set] section's content
        int expected;
    } cases[] = {
        {u"val=6", 6},   {u"val=0x0C", 12},       {u"val=0X1f", 31},
        {u"val=13", 13}, {u"val= 7 ", 7},         {u"val='5'", 5},
        {u"val=-1", -1}, {u"val=12abc", 12},      {u"val=abc", 2},
        {u"val=", 2},    {u"other=1", 2},         {u"val=0x", 2},
        {u"val=-", 2},   {u"val=99999999999", 2},
    };
    for (const auto& c : cases) {
        IniFile ini;
        ini.Load(Utf16File(std::u16string(u"[set]\r\n") + c.line + u"\r\n"));
        EXPECT_EQ(ini.ReadInteger("set", "val", 2), c.expected) << Utf8(c.line);
    }
}

TEST(IniFileRead, ValuesAreCutAt2047Characters) {
    const std::u16string longValue(3000, u'x');
    IniFile ini;
    ini.Load(Utf16File(u"[en]\r\nk=" + longValue + u"\r\n"));
    EXPECT_EQ(ini.ReadString("en", "k", u""), std::u16string(2047, u'x'));

    // A cut through a surrogate pair drops its first half instead of keeping half a character.
    std::u16string pairAtCut(2046, u'y');
    pairAtCut += u"\U0001F600tail";
    ini.Load(Utf16File(u"[en]\r\nk=" + pairAtCut + u"\r\n"));
    EXPECT_EQ(ini.ReadString("en", "k", u""), std::u16string(2046, u'y'));
}

TEST(IniFileOpen, CreatesTheSixByteFileWhenMissing) {
    ScratchDir dir;
    const std::string path = dir.File("lang.ini");
    IniFile ini;
    std::string error;
    ASSERT_TRUE(ini.Open(path, &error)) << error;
    EXPECT_EQ(ReadFile(path), std::string(kEmptyUtf16IniFile));
    EXPECT_EQ(ini.ReadInteger("set", "val", 2), 2);
}

TEST(IniFileOpen, FailsWithTheFilesPathWhenItCannotBeCreated) {
    ScratchDir dir;
    const std::string path = dir.File("missing-folder/lang.ini");
    IniFile ini;
    std::string error;
    EXPECT_FALSE(ini.Open(path, &error));
    EXPECT_EQ(error, "Cannot create file " + path);
    EXPECT_EQ(ini.ReadString("en", "k", u"default"), u"default");
}

TEST(IniFileOpen, ReadOnlyFileIsReadAsUsual) {
    ScratchDir dir;
    const std::string path = dir.File("lang.ini");
    WriteFile(path, Utf16File(u"[set]\r\nval=9\r\n"));
    chmod(path.c_str(), 0444);
    IniFile ini;
    ASSERT_TRUE(ini.Open(path, nullptr));
    EXPECT_EQ(ini.ReadInteger("set", "val", 2), 9);
}

TEST(IniFileWrite, KeepsEncodingAndEveryOtherByte) {
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"new file gets the section", std::string(kEmptyUtf16IniFile),
         Utf16File(u"\r\n[set]\r\nval=6\r\n")},
        {"key replaced in place", Utf16File(u"[set]\r\nVAL=2\r\n[cn]\r\nk=中文\r\n"),
         Utf16File(u"[set]\r\nval=6\r\n[cn]\r\nk=中文\r\n")},
        {"key added at the end of its section, before blank lines",
         Utf16File(u"[set]\r\nx=1\r\n\r\n[en]\r\nval=9\r\n"),
         Utf16File(u"[set]\r\nx=1\r\nval=6\r\n\r\n[en]\r\nval=9\r\n")},
        {"section added after a last line without break", Utf16File(u"[en]\r\nk=v"),
         Utf16File(u"[en]\r\nk=v\r\n[set]\r\nval=6\r\n")},
        {"8-bit Latin-1 file stays 8-bit with line feeds",
         "[fr]\nk=Fran\xE7"
         "ais\n[set]\nval=1\n",
         "[fr]\nk=Fran\xE7"
         "ais\n[set]\nval=6\n"},
        {"UTF-8 file with its mark", "\xEF\xBB\xBF[set]\r\nval=1\r\n",
         "\xEF\xBB\xBF[set]\r\nval=6\r\n"},
        {"empty file becomes UTF-16", "", Utf16File(u"\r\n[set]\r\nval=6\r\n")},
        {"UTF-16 file cut after an odd byte", Utf16File(u"[en]\r\n") + "x",
         Utf16File(u"[en]\r\n[set]\r\nval=6\r\n")},
    };
    for (const auto& c : cases) {
        IniFile ini;
        ini.Load(c.before);
        EXPECT_EQ(ini.ContentWithValue("set", "val", u"6"), c.after) << c.name;
    }
}

TEST(IniFileWrite, ValuesThatWouldReadBackDifferentlyAreQuoted) {
    IniFile ini;
    ini.Load(std::string(kEmptyUtf16IniFile));
    for (std::u16string value : {u" padded ", u"\"quoted\"", u"'single'", u"plain \"inner\""}) {
        IniFile reread;
        reread.Load(ini.ContentWithValue("en", "k", value));
        EXPECT_EQ(reread.ReadString("en", "k", u""), value);
    }
}

TEST(IniFileWrite, WritesTheFileOnDiskAndReadsItBack) {
    ScratchDir dir;
    const std::string path = dir.File("lang.ini");
    IniFile ini;
    ASSERT_TRUE(ini.Open(path, nullptr));
    // Someone else adds a section after we opened the file: the write must keep it.
    WriteFile(path, Utf16File(u"[de]\r\nLabelPrint=Drucken\r\n"));
    std::string error;
    ASSERT_TRUE(ini.WriteString("set", "val", u"6", &error)) << error;
    EXPECT_EQ(ReadFile(path), Utf16File(u"[de]\r\nLabelPrint=Drucken\r\n[set]\r\nval=6\r\n"));
    EXPECT_EQ(ini.ReadInteger("set", "val", 2), 6);
    // Nothing but lang.ini is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(IniFileWrite, ReadOnlyFileIsRefusedAndLeftUnchanged) {
    ScratchDir dir;
    const std::string path = dir.File("lang.ini");
    const std::string before = Utf16File(u"[set]\r\nval=2\r\n");
    WriteFile(path, before);
    chmod(path.c_str(), 0444);
    IniFile ini;
    ASSERT_TRUE(ini.Open(path, nullptr));
    std::string error;
    EXPECT_FALSE(ini.WriteString("set", "val", u"6", &error));
    EXPECT_EQ(error, "Unable to write to " + path);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(ini.ReadInteger("set", "val", 2), 2);
}

TEST(IniFileWrite, AWritableFileInAFolderThatIsNotIsRewrittenInPlace) {
    // Under /tmp, so that the unprivileged user below can reach it.
    char pattern[] = "/tmp/quillon-ini-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string path = dir + "/lang.ini";
    WriteFile(path, Utf16File(u"[set]\r\nval=2\r\n"));
    chmod(path.c_str(), 0666);
    chmod(dir.c_str(), 0555);
    struct stat before {};
    stat(path.c_str(), &before);

    // Root may write into any folder: the writer then runs as "nobody".
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        IniFile ini;
        _exit(ini.Open(path, nullptr) && ini.WriteString("set", "val", u"6", nullptr) ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(path), Utf16File(u"[set]\r\nval=6\r\n"));
    struct stat after {};
    stat(path.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino); // the same file, not a replacement
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
    chmod(dir.c_str(), 0755);
    std::filesystem::remove_all(dir);
}

TEST(IniFileWrite, ThroughASymbolicLinkTheTargetChanges) {
    ScratchDir dir;
    const std::string target = dir.File("real.ini");
    const std::string link = dir.File("lang.ini");
    WriteFile(target, std::string(kEmptyUtf16IniFile));
    std::filesystem::create_symlink(target, link);
    IniFile ini;
    ASSERT_TRUE(ini.Open(link, nullptr));
    ASSERT_TRUE(ini.WriteString("set", "val", u"3", nullptr));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(target), Utf16File(u"\r\n[set]\r\nval=3\r\n"));
}

} // namespace
