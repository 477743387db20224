#include "platform/paths.h"

#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(Paths, ExecutableDirIsTheFolderOfThisProgram) {
    const std::string path = platform::ExecutablePath();
    const std::string dir = platform::ExecutableDir();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(path.substr(0, dir.size()), dir);
    EXPECT_EQ(path.substr(dir.size()), "i18n_tests");
}

TEST(Paths, PrivateTempDirIsCreatedOwnerOnly) {
    testutil::ScratchDir base;
    std::string error;
    const std::string dir = platform::PrivateTempDirUnder(base.path().string(), &error);
    ASSERT_FALSE(dir.empty()) << error;
    EXPECT_EQ(dir, base.File("quillon-" + std::to_string(getuid())) + "/");
    struct stat info {};
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // An existing folder of ours with loose permissions is tightened.
    chmod(dir.c_str(), 0777);
    EXPECT_EQ(platform::PrivateTempDirUnder(base.path().string()), dir);
    stat(dir.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Paths, PlantedTempDirIsRefused) {
    testutil::ScratchDir base;
    const std::string name = base.File("quillon-" + std::to_string(getuid()));
    std::string error;

    // A symbolic link to somewhere else.
    std::filesystem::create_directory(base.File("elsewhere"));
    std::filesystem::create_directory_symlink(base.File("elsewhere"), name);
    EXPECT_EQ(platform::PrivateTempDirUnder(base.path().string(), &error), "");
    EXPECT_NE(error, "");
    std::filesystem::remove(name);

    // A folder of another user (only root can set that up).
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    std::filesystem::create_directory(name);
    ASSERT_EQ(chown(name.c_str(), getuid() + 1, getgid()), 0);
    error.clear();
    EXPECT_EQ(platform::PrivateTempDirUnder(base.path().string(), &error), "");
    EXPECT_NE(error.find("another user"), std::string::npos) << error;
}

TEST(Paths, TmpdirWinsWhenSet) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "/some/where", 1);
    EXPECT_EQ(platform::TempDir(), "/some/where/");
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

} // namespace
