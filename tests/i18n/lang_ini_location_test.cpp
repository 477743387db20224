// lang.ini of a program run in place and of an installed one, and the user's copy of the
// shipped file.
#include "i18n/lang_ini_location.h"
#include "platform/ini_file.h"
#include "tests/i18n/ini_test_util.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using quillon::test::ScopedEnv;

// UTF-16 LE with byte-order mark, as shipped.
std::string Utf16Ini(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

class LangIniLocationTest : public ::testing::Test {
protected:
    LangIniLocationTest() {
        fs::create_directories(scratch.path() / "usr/bin");
        fs::create_directories(scratch.path() / "usr/share/quillon");
        fs::create_directories(scratch.path() / "build");
    }
    std::string Config() const { return scratch.File("config/quillon/lang.ini"); }
    std::string Shipped() const { return scratch.File("usr/share/quillon/lang.ini"); }
    void Ship(const std::u16string& text) const { testutil::WriteFile(Shipped(), Utf16Ini(text)); }
    IniFile UserCopy() const {
        IniFile ini;
        ini.Load(testutil::ReadFile(Config()));
        return ini;
    }

    testutil::ScratchDir scratch;
    const std::string installed = scratch.File("usr/bin/quillon");
    const std::string inPlace = scratch.File("build/quillon");
    ScopedEnv config{"XDG_CONFIG_HOME", scratch.File("config")};
};

TEST_F(LangIniLocationTest, InPlaceBesideTheExecutableInstalledAmongTheUsersSettings) {
    EXPECT_EQ(LangIniPathFor(inPlace), scratch.File("build/lang.ini"));
    EXPECT_EQ(ShippedLangIniPathFor(inPlace), "");
    EXPECT_EQ(LangIniPathFor(installed), Config());
    EXPECT_EQ(ShippedLangIniPathFor(installed), Shipped());
    EXPECT_EQ(LangIniPathFor(""), "./lang.ini");

    // Nothing is copied for a program run in place.
    testutil::WriteFile(scratch.File("build/lang.ini"), Utf16Ini(u"[set]\r\nval=5\r\n"));
    EXPECT_TRUE(PrepareUserLangIni(inPlace));
    EXPECT_FALSE(fs::exists(scratch.path() / "config"));
}

TEST_F(LangIniLocationTest, FirstStartCopiesTheShippedFileIntoANewPrivateFolder) {
    Ship(u"[set]\r\nval=2\r\n\r\n[de]\r\nLabelPrint=Drucken\r\n");
    ASSERT_TRUE(PrepareUserLangIni(installed));
    const IniFile copy = UserCopy();
    EXPECT_EQ(copy.Encoding(), IniEncoding::Utf16Le);
    EXPECT_EQ(copy.ReadInteger("set", "val", 0), 2);
    EXPECT_EQ(copy.ReadString("de", "LabelPrint", u""), u"Drucken");
    EXPECT_NE(copy.ReadString("set", "shipped", u""), u"");
    struct stat info {};
    ASSERT_EQ(stat(scratch.File("config/quillon").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(LangIniLocationTest, ANewShippedFileRefreshesTheCopyButKeepsTheChosenLanguage) {
    Ship(u"[set]\r\nval=2\r\n\r\n[de]\r\nLabelPrint=Drucken\r\n");
    ASSERT_TRUE(PrepareUserLangIni(installed));
    // The user chooses German (the language dialog writes the copy) and edits a text.
    IniFile copy;
    ASSERT_TRUE(copy.Open(Config(), nullptr));
    ASSERT_TRUE(copy.WriteString("set", "val", u"6", nullptr));
    ASSERT_TRUE(copy.WriteString("de", "LabelPrint", u"Ausdrucken", nullptr));

    // Started again with the same shipped file: the copy stays as the user left it.
    ASSERT_TRUE(PrepareUserLangIni(installed));
    EXPECT_EQ(UserCopy().ReadString("de", "LabelPrint", u""), u"Ausdrucken");

    // A new version of the program ships new texts: they arrive, the language stays.
    Ship(u"[set]\r\nval=2\r\n\r\n[de]\r\nLabelPrint=Drucken\r\nMsgPortBusyOther=einem anderen "
         u"Programm\r\n");
    ASSERT_TRUE(PrepareUserLangIni(installed));
    const IniFile refreshed = UserCopy();
    EXPECT_EQ(refreshed.ReadInteger("set", "val", 0), 6);
    EXPECT_EQ(refreshed.ReadString("de", "MsgPortBusyOther", u""), u"einem anderen Programm");
    EXPECT_EQ(refreshed.ReadString("de", "LabelPrint", u""), u"Drucken");
}

TEST_F(LangIniLocationTest, NoShippedFileOrNoWritableSettingsFolder) {
    // Nothing shipped: nothing to copy, but the folder where the loader starts an empty file.
    EXPECT_TRUE(PrepareUserLangIni(installed));
    EXPECT_FALSE(fs::exists(Config()));
    EXPECT_TRUE(fs::is_directory(scratch.path() / "config/quillon"));
    fs::remove_all(scratch.path() / "config");

    Ship(u"[set]\r\nval=2\r\n");
    testutil::WriteFile(scratch.File("config"), "a file where the folder should be");
    EXPECT_FALSE(PrepareUserLangIni(installed));
}

} // namespace
