// Starting a fresh copy of the program: the new process runs on its own and inherits no
// descriptor but the standard three, so an exclusively held serial port is free for it; and it
// is started, and the executable's path read, right also while the running file is removed or
// replaced.
#include "platform/paths.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadWhenPresent(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let the writer finish
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ProcessTest, FreshProcessRunsInItsOwnSessionWithoutInheritedDescriptors) {
    std::string pattern = (fs::temp_directory_path() / "quillon-process-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    const fs::path script = dir / "child.sh";
    const fs::path report = dir / "report.txt";
    {
        std::ofstream out(script);
        // Lists its open descriptors and whether it leads its own session.
        out << "#!/bin/sh\n"
            << "fds=$(ls /proc/$$/fd | sort -n | tr '\\n' ' ')\n"
            << "sid=$(ps -o sid= -p $$ | tr -d ' ')\n"
            << "echo \"fds=$fds sid=$sid pid=$$\" > " << report << ".tmp\n"
            << "mv " << report << ".tmp " << report << "\n";
    }
    fs::permissions(script, fs::perms::owner_all);

    // A descriptor without close-on-exec, as a serial port might be.
    const int held = ::open(script.c_str(), O_RDONLY);
    ASSERT_GE(held, 3);
    ASSERT_TRUE(platform::StartDetachedProcess(script.string()));
    ::close(held);

    const std::string text = ReadWhenPresent(report);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find(" " + std::to_string(held) + " "), std::string::npos) << text;
    const auto sid = text.substr(text.find("sid=") + 4, text.find(" pid=") - text.find("sid=") - 4);
    const auto pid = text.substr(text.find("pid=") + 4, text.find('\n') - text.find("pid=") - 4);
    EXPECT_EQ(sid, pid) << text; // a session leader: it outlives this process and its terminal

    EXPECT_FALSE(platform::StartDetachedProcess((dir / "missing").string()));
    EXPECT_FALSE(platform::StartDetachedProcess(""));
    fs::remove_all(dir);
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
        std::string pattern = (fs::temp_directory_path() / "quillon-exe-XXXXXX").string();
        const fs::path dir = ::mkdtemp(pattern.data());
        const std::string exe = (dir / c.name).string();
        const std::string report = (dir / "report").string();
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
            std::ofstream(exe) << "#!/bin/sh\necho new > \"$PROBE_REPORT\"\n";
            fs::permissions(exe, fs::perms::owner_all);
        }
        std::ofstream(report + ".go").close();
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

        EXPECT_EQ(ReadWhenPresent(report + ".parent"), exe);
        const std::string expected =
            std::string(c.restarted) == "old" ? "old " + exe : std::string("new\n");
        EXPECT_EQ(ReadWhenPresent(report), expected);
        fs::remove_all(dir);
    }
}

} // namespace
