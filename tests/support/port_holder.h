#pragma once
// A child process that holds a serial device open (with its exclusive flag set, unless asked
// not to), under a command name of the test's choosing, as a modem-probing service does with a
// newly plugged port.
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::test {

class PortHolder {
public:
    PortHolder(const std::string& path, const std::string& name, bool exclusive = true) {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls: the parent may have threads.
            close(ready[0]);
            prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char held = fd >= 0 && (!exclusive || ioctl(fd, TIOCEXCL) == 0) ? 1 : 0;
            [[maybe_unused]] const ssize_t n = write(ready[1], &held, 1);
            for (;;)
                pause();
        }
        close(ready[1]);
        char held = 0;
        holding_ = pid_ > 0 && read(ready[0], &held, 1) == 1 && held == 1;
        close(ready[0]);
    }
    ~PortHolder() { Release(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Holding() const { return holding_; }
    pid_t Pid() const { return pid_; }

    // Ends the holder; its descriptor closes with it.
    void Release() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        holding_ = false;
    }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

} // namespace quillon::test
