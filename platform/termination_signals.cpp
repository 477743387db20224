#include "platform/termination_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

int readFd = -1;
int writeFd = -1;
volatile std::sig_atomic_t received = 0;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe calls here.
void OnSignal(int signal) {
    const int savedErrno = errno;
    if (received != 0) {
        // The program did not end after the first one: let this one act as it would by default.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
    }
    received = signal;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up; nothing is lost by dropping this byte.
    [[maybe_unused]] const ssize_t n = write(writeFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

bool InstallTerminationSignals() {
    if (readFd >= 0)
        return true;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    readFd = fds[0];
    writeFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : kSignals)
        sigaddset(&action.sa_mask, s); // one handler at a time
    action.sa_flags = SA_RESTART;
    for (const int s : kSignals) {
        // A signal ignored by whoever started the program (nohup, a background job of a
        // script) stays ignored.
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaction(s, &action, nullptr);
    }
    return true;
}

int TerminationSignalFd() {
    return readFd;
}

int TakeTerminationSignal() {
    int last = 0;
    unsigned char buffer[16];
    for (;;) {
        const ssize_t n = read(readFd, buffer, sizeof buffer);
        if (n > 0) {
            last = buffer[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return last;
    }
}

} // namespace platform
