// Starting a fresh copy of the program: the new process runs on its own and inherits no
// descriptor but the standard three, so an exclusively held serial port is free for it.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

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

} // namespace
