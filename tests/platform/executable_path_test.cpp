// The executable's path and the restart while the running file is removed or replaced.
#include "platform/paths.h"

#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string WaitForFile(const fs::path& path) {
    for (int i = 0; i < 500 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let the writer finish
    return testutil::ReadFile(path);
}

TEST(ExecutablePath, SurvivesTheRunningFileBeingRemovedOrReplaced) {
    enum Change { Nothing, Removed, Replaced };
    const struct {
        const char* what;
        const char* name;
        Change change;
        const char* restarted; // what the fresh copy reports; "old" is followed by its path
    } cases[] = {
        {"untouched", "probe", Nothing, "old"},
        {"removed: the running file starts again", "probe", Removed, "old"},
        {"replaced: the new file starts", "probe", Replaced, "new"},
        {"a name that really ends in (deleted)", "probe (deleted)", Nothing, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::ScratchDir dir;
        const std::string exe = dir.File(c.name);
        const std::string report = dir.File("report");
        fs::copy_file(QUILLON_EXE_PROBE, exe);

        const std::string variable = "PROBE_REPORT=" + report;
        std::vector<char*> env;
        for (char** e = environ; *e; ++e)
            env.push_back(*e);
        env.push_back(const_cast<char*>(variable.c_str()));
        env.push_back(nullptr);
        std::string argv0 = exe;
        char* argv[] = {argv0.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, env.data()), 0);

        if (c.change != Nothing)
            fs::remove(exe);
        if (c.change == Replaced) {
            testutil::WriteFile(exe, "#!/bin/sh\necho new > \"$PROBE_REPORT\"\n");
            fs::permissions(exe, fs::perms::owner_all);
        }
        testutil::WriteFile(report + ".go", "");
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

        EXPECT_EQ(WaitForFile(report + ".parent"), exe);
        const std::string expected =
            std::string(c.restarted) == "old" ? "old " + exe : std::string("new\n");
        EXPECT_EQ(WaitForFile(report), expected);
    }
}

} // namespace
