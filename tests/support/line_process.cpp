#include "tests/support/line_process.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quillon::test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool LineProcess::Start(const std::vector<std::string>& args, const std::string& errPath,
                        std::string& error) {
    Stop();
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pair[1]);
    if (rc != 0) {
        close(pair[0]);
        pid_ = -1;
        error = "cannot start " + args[0] + ": " + std::strerror(rc);
        return false;
    }
    fd_ = pair[0];
    pending_.clear();
    unanswered_ = 0;
    return true;
}

void LineProcess::Stop() {
    if (pid_ <= 0)
        return;
    if (fd_ >= 0)
        send(fd_, "quit\n", 5, MSG_NOSIGNAL);
    const auto deadline = Clock::now() + milliseconds(3000);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    pid_ = -1;
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

bool LineProcess::ReadLine(std::string& line, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left < 0 || fd_ < 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        char buf[4096];
        ssize_t got = recv(fd_, buf, sizeof buf, 0);
        if (got <= 0)
            return false; // the process has gone
        pending_.append(buf, static_cast<std::size_t>(got));
    }
}

std::string LineProcess::Command(const std::string& line, milliseconds timeout) {
    if (fd_ < 0)
        return "error not running";
    std::string text = line + "\n";
    if (send(fd_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
        return "error cannot send";
    std::string answer;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (!ReadLine(answer, std::max(left, milliseconds(0)))) {
            ++unanswered_;
            return "error no answer";
        }
        if (answer.rfind("# ", 0) == 0)
            continue; // help text
        if (unanswered_ > 0) {
            --unanswered_; // the late answer of an earlier command
            continue;
        }
        return answer;
    }
}

} // namespace quillon::test
