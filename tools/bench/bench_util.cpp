#include "bench_util.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string MakeScratch(const char* prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : "";
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

bool WriteRandomFile(const std::string& path, std::size_t bytes) {
    std::mt19937_64 random(12345);
    std::vector<std::uint64_t> block(1 << 16);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::size_t done = 0; done < bytes;) {
        for (auto& word : block)
            word = random();
        const std::size_t n = std::min(bytes - done, block.size() * sizeof(std::uint64_t));
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        done += n;
    }
    return static_cast<bool>(out);
}

namespace {

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

int Run(const std::vector<std::string>& args, const std::string& outputPath) {
    std::vector<std::string> copy = args;
    auto argv = Argv(copy);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputPath.empty())
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Child::Start(const std::vector<std::string>& args) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
        return false;
    std::vector<std::string> copy = args;
    auto argv = Argv(copy);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    in = toChild[1];
    out = fromChild[0];
    return rc == 0;
}

bool Child::ReadLine(std::string& line) {
    line.clear();
    char c = 0;
    while (read(out, &c, 1) == 1) {
        if (c == '\n')
            return true;
        line += c;
    }
    return false;
}

void Child::Finish() {
    if (in >= 0)
        close(in);
    if (out >= 0)
        close(out);
    in = out = -1;
    if (pid > 0)
        waitpid(pid, nullptr, 0);
    pid = -1;
}

} // namespace bench
