// Termination signals reach the event loop as readable bytes instead of ending the process.
#include "platform/termination_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>

namespace {

bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1;
}

// Each case in a child of its own: the handlers are process-wide.
TEST(TerminationSignals, EachSignalBecomesAByteOnThePipe) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        EXPECT_EXIT(
            {
                if (!platform::InstallTerminationSignals())
                    std::_Exit(10);
                const int fd = platform::TerminationSignalFd();
                if (Readable(fd, 0))
                    std::_Exit(11);
                raise(signal);
                if (!Readable(fd, 1000))
                    std::_Exit(12);
                if (platform::TakeTerminationSignal() != signal)
                    std::_Exit(13);
                if (Readable(fd, 0) || platform::TakeTerminationSignal() != 0)
                    std::_Exit(14); // emptied
                std::_Exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << strsignal(signal);
    }
}

TEST(TerminationSignals, ASecondSignalEndsTheProcessAtOnce) {
    EXPECT_EXIT(
        {
            platform::InstallTerminationSignals();
            raise(SIGTERM); // taken, the program would now close in order ...
            raise(SIGINT);  // ... but it is asked again
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

TEST(TerminationSignals, ASignalIgnoredByTheStarterStaysIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN); // as nohup leaves it
            platform::InstallTerminationSignals();
            raise(SIGHUP);
            std::_Exit(Readable(platform::TerminationSignalFd(), 200) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
