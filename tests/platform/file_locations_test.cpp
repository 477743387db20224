// Installed or run in place: where the shipped data and the user's files lie.
#include "platform/paths.h"

#include "tests/i18n/ini_test_util.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using quillon::test::ScopedEnv;

class FileLocationsTest : public ::testing::Test {
protected:
    // <scratch>/<dir>/quillon, an executable file as far as the path goes.
    std::string Exe(const std::string& dir) const {
        fs::create_directories(scratch.path() / dir);
        return scratch.File(dir + "/quillon");
    }
    void MakeDir(const std::string& dir) const { fs::create_directories(scratch.path() / dir); }

    testutil::ScratchDir scratch;
};

TEST_F(FileLocationsTest, InstalledOnlyInBinBesideShareQuillon) {
    MakeDir("usr/share/quillon");
    MakeDir("opt/share"); // share without quillon
    MakeDir("build/share/quillon");
    std::ofstream(scratch.File("file/share/quillon"), std::ios::binary); // not a folder
    MakeDir("file/bin");
    const std::string root = scratch.path().string() + "/";
    struct Case {
        std::string exe;
        std::string prefix; // expected; empty: run in place
    } cases[] = {
        {Exe("usr/bin"), root + "usr/"},
        {Exe("opt/bin"), ""},
        {Exe("build/app"), ""},   // a build folder, even beside share/quillon
        {Exe("build/sbin"), ""},  // only "bin" counts
        {Exe("build/bin/x"), ""}, // deeper than bin
        {scratch.File("file/bin/quillon"), ""},
        {"quillon", ""}, // no folder at all
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::InstallPrefixOf(c.exe), c.prefix) << c.exe;
        const std::string folder = c.exe.substr(0, c.exe.rfind('/') + 1);
        EXPECT_EQ(platform::ShippedDataDirOf(c.exe),
                  c.prefix.empty() ? (folder.empty() ? "./" : folder) : c.prefix + "share/quillon/")
            << c.exe;
    }
}

TEST_F(FileLocationsTest, UserFoldersFollowXdgAndFallBackToHome) {
    struct Case {
        std::optional<std::string> config, data, home;
        std::string expectedConfig, expectedData;
    } cases[] = {
        {"/x/config", "/x/data/", "/home/u", "/x/config/quillon/", "/x/data/quillon/"},
        // Relative and empty values do not count, as the XDG rules say.
        {"relative", "", "/home/u", "/home/u/.config/quillon/", "/home/u/.local/share/quillon/"},
        {std::nullopt, std::nullopt, "/home/u/", "/home/u/.config/quillon/",
         "/home/u/.local/share/quillon/"},
    };
    for (const Case& c : cases) {
        ScopedEnv config("XDG_CONFIG_HOME", c.config);
        ScopedEnv data("XDG_DATA_HOME", c.data);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(platform::ConfigDir(), c.expectedConfig);
        EXPECT_EQ(platform::UserDataDir(), c.expectedData);
    }
}

TEST_F(FileLocationsTest, MakeUserDirCreatesMissingLevelsPrivately) {
    MakeDir("existing");
    fs::permissions(scratch.path() / "existing", fs::perms(0755));
    const std::string dir = scratch.File("existing/new/deeper/");
    ASSERT_TRUE(platform::MakeUserDir(dir));
    struct stat info {};
    ASSERT_EQ(stat(scratch.File("existing/new/deeper").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(scratch.File("existing").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);   // what was there stays as it was
    EXPECT_TRUE(platform::MakeUserDir(dir)); // again: nothing to do

    std::ofstream(scratch.File("plain"), std::ios::binary) << "x";
    EXPECT_FALSE(platform::MakeUserDir(scratch.File("plain")));
    EXPECT_EQ(errno, ENOTDIR); // what a caller tells the user
    EXPECT_FALSE(platform::MakeUserDir(scratch.File("plain/below")));
    EXPECT_FALSE(platform::MakeUserDir(""));
}

} // namespace
