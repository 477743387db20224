// Reading the trouble-code database: the file format, the encodings, where the file is found, and
// the database that ships with the program.
#include "content/dtc_database.h"
#include "platform/text_codec.h"
#include "tests/content/scoped_working_dir.h"
#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string Utf8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

Entries Parse(std::string_view bytes) {
    Entries entries;
    for (const DtcEntry& entry : ParseDtcDatabase(bytes))
        entries.emplace_back(Utf8(entry.Code), Utf8(entry.Description));
    return entries;
}

struct FormatCase {
    const char* name;
    std::string bytes;
    Entries expected;
};

TEST(DtcDatabaseFormat, ScansEntriesAsTheFileFormatSays) {
    const std::string longCode(130, 'C');
    const std::string longText = "D" + std::string(140, 'x');
    const FormatCase cases[] = {
        {"CR LF", "P0100 Air flow\r\nP0101 Range\r\n", {{"P0100", "Air flow"}, {"P0101", "Range"}}},
        {"LF only", "P0100 Air flow\nP0101 Range\n", {{"P0100", "Air flow"}, {"P0101", "Range"}}},
        {"CR only", "P0100 Air flow\rP0101 Range\r", {{"P0100", "Air flow"}, {"P0101", "Range"}}},
        {"blank lines between and around",
         "\r\n\n  \r\nP0100 A\r\n\r\n\n\nP0101 B\n\n",
         {{"P0100", "A"}, {"P0101", "B"}}},
        {"any white space after the code",
         "P0100\t \v\fAir  flow\tcircuit\n",
         {{"P0100", "Air  flow\tcircuit"}}},
        {"leading white space before the code", " \t P0100 A\n", {{"P0100", "A"}}},
        {"trailing blanks stay",
         "P0100 Air flow  \nP0101 B \t\r\n",
         {{"P0100", "Air flow  "}, {"P0101", "B \t"}}},
        {"no line break at the end", "P0100 A\nP0101 B", {{"P0100", "A"}, {"P0101", "B"}}},
        {"code-only line takes the next line whole",
         "P0100\nP0101 Range\nP0102 Low\n",
         {{"P0100", "P0101 Range"}, {"P0102", "Low"}}},
        {"last code-only line ends the load", "P0100 A\nP0101\n", {{"P0100", "A"}}},
        {"last code-only line without line break", "P0100 A\nP0101", {{"P0100", "A"}}},
        {"empty file", "", {}},
        {"white space only", " \r\n\t\n", {}},
        {"byte-order mark skipped", "\xEF\xBB\xBFP0100 A\n", {{"P0100", "A"}}},
        {"127-byte fields",
         longCode + " " + longText + "\nP0101 B\n",
         {{std::string(127, 'C'), longText.substr(0, 127)}, {"P0101", "B"}}},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(Parse(c.bytes), c.expected) << c.name;
}

TEST(DtcDatabaseFormat, ReadsUtf8AndFallsBackToWindows1252LineByLine) {
    // UTF-8 lines and Windows-1252 lines in one file: each line keeps its own characters.
    const std::string bytes = "P0100 D\xC3\xA9"
                              "bit d'air\r\n" // UTF-8 é
                              "P0101 D\xE9"
                              "bit \x96 plage \x80\r\n"              // 1252 é, en dash, euro
                              "P0102 \xE2\x80\x93 tension basse\r\n" // UTF-8 en dash
                              "P\xD6"
                              "103 \xC4nderung\r\n"; // 1252 in the code
    const Entries expected = {{"P0100", "D\u00e9bit d'air"},
                              {"P0101", "D\u00e9bit \u2013 plage \u20ac"},
                              {"P0102", "\u2013 tension basse"},
                              {"P\u00d6"
                               "103",
                               "\u00c4nderung"}};
    EXPECT_EQ(Parse(bytes), expected);
}

TEST(DtcDatabaseFormat, CutsUtf8BeforeAWholeCharacter) {
    // 126 ASCII bytes, then a two-byte character across the 127-byte limit.
    const std::string text = "D" + std::string(125, 'x') +
                             "\xC3\xA9"
                             "tail";
    const Entries entries = Parse("P0100 " + text + "\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second, text.substr(0, 126));
}

TEST(DtcDatabaseFormat, CaptionsCarryTheirPrefixes) {
    const DtcEntry entry{u"P0420", u"Catalyst"};
    EXPECT_EQ(DtcCaption(entry), u" P0420");
    EXPECT_EQ(DtcSubItem(entry), u"\u3000Catalyst");
}

void PutDatabase(const fs::path& dir, const std::string& content) {
    fs::create_directories(dir / "DtcLookup");
    testutil::WriteFile(dir / kDtcDatabaseRelativePath, content);
}

TEST(DtcDatabaseLookup, WorkingFolderFirstThenBesideTheExecutable) {
    testutil::ScratchDir scratch;
    const fs::path work = scratch.path() / "work";
    const fs::path exe = scratch.path() / "exe";
    fs::create_directories(work);
    fs::create_directories(exe);
    const std::string exeDir = exe.string() + "/";
    testutil::ScopedWorkingDir inWork(work);

    // Neither folder has one: an empty list, no path.
    DtcDatabase none = LoadDtcDatabase(exeDir);
    EXPECT_TRUE(none.Path.empty());
    EXPECT_TRUE(none.Entries.empty());

    // Only beside the executable (a desktop start in the home folder).
    PutDatabase(exe, "P0100 Beside the executable\n");
    DtcDatabase beside = LoadDtcDatabase(exeDir);
    EXPECT_EQ(beside.Path, exeDir + kDtcDatabaseRelativePath);
    ASSERT_EQ(beside.Entries.size(), 1u);
    EXPECT_EQ(beside.Entries[0].Description, u"Beside the executable");

    // A folder in the working folder's place is no database: still the executable's.
    fs::create_directories(work / kDtcDatabaseRelativePath);
    EXPECT_EQ(LoadDtcDatabase(exeDir).Path, exeDir + kDtcDatabaseRelativePath);
    fs::remove(work / kDtcDatabaseRelativePath);

    // Both: the working folder's wins, even when it holds no entry.
    PutDatabase(work, "");
    DtcDatabase working = LoadDtcDatabase(exeDir);
    EXPECT_EQ(working.Path, kDtcDatabaseRelativePath);
    EXPECT_TRUE(working.Entries.empty());
}

// The database that ships with the program.
class ShippedDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        content_ =
            new std::string(testutil::ReadFile(QUILLON_SOURCE_DIR "/content/DtcLookup/OBDII.txt"));
    }
    static void TearDownTestSuite() { delete content_; }
    static std::string* content_;
};
std::string* ShippedDatabase::content_ = nullptr;

TEST_F(ShippedDatabase, EveryLineIsOneWellFormedGenericCode) {
    const std::string& content = *content_;
    ASSERT_FALSE(content.empty());
    const std::vector<DtcEntry> entries = ParseDtcDatabase(content);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < content.size(); start = end + 1) {
        end = content.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last line has no line break";
        lines.push_back(content.substr(start, end - start));
    }
    ASSERT_EQ(entries.size(), lines.size()) << "a line did not parse as an entry";

    const std::regex code("[PBCU][0-3][0-9A-F]{3}");
    // Ranges every maker shares: P0, P2, P34-P39, B0, C0, U0.
    const std::regex generic("P0...|P2...|P3[4-9]..|[BCU]0...");
    std::set<std::string> seen;
    std::set<std::string> ranges;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string c = Utf8(entries[i].Code);
        const std::string d = Utf8(entries[i].Description);
        EXPECT_TRUE(std::regex_match(c, code)) << lines[i];
        EXPECT_TRUE(std::regex_match(c, generic)) << "maker-specific: " << lines[i];
        EXPECT_TRUE(seen.insert(c).second) << "twice: " << c;
        // Plain text that reads back exactly as written.
        EXPECT_EQ(lines[i], c + " " + d);
        EXPECT_FALSE(d.empty());
        EXPECT_LE(d.size(), kDtcFieldMaxBytes) << c;
        const bool threeLetters = c.starts_with("P0A") || c.starts_with("P3");
        ranges.insert(c.substr(0, threeLetters ? 3 : 2));
    }
    EXPECT_EQ(ranges, (std::set<std::string>{"P0", "P0A", "P2", "P34", "B0", "C0", "U0"}));
}

TEST_F(ShippedDatabase, WellKnownCodesReadAsTheirMeaning) {
    std::map<std::u16string, std::u16string> byCode;
    for (DtcEntry& entry : ParseDtcDatabase(*content_))
        byCode[entry.Code] = entry.Description;
    // One code from each generated family and a few written out.
    const std::pair<const char16_t*, const char16_t*> known[] = {
        {u"P0101", u"Mass or volume air flow sensor A circuit range/performance"},
        {u"P0137", u"O2 sensor circuit low voltage, bank 1 sensor 2"},
        {u"P0171", u"System too lean, bank 1"},
        {u"P0207", u"Injector circuit/open, cylinder 7"},
        {u"P0294", u"Cylinder 12 injector circuit low"},
        {u"P0300", u"Random or multiple cylinder misfire detected"},
        {u"P0304", u"Cylinder 4 misfire detected"},
        {u"P0420", u"Catalyst system efficiency below threshold, bank 1"},
        {u"P0442", u"EVAP system leak detected (small leak)"},
        {u"P0A0F", u"Engine failed to start"},
        {u"P2335", u"Ignition coil L secondary circuit"},
        {u"P3425", u"Cylinder 4 deactivation/intake valve control circuit/open"},
        {u"U0100", u"Lost communication with ECM/PCM A"},
        {u"U0415", u"Invalid data received from anti-lock brake system (ABS) control module"},
        {u"U0003", u"High speed CAN communication bus (+) open"},
    };
    for (const auto& [code, description] : known)
        EXPECT_EQ(byCode[code], description) << Utf8(code);
}

} // namespace
