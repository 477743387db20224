#pragma once
// A helper process steered by line commands: its stdin and stdout on one socket, its stderr in a
// file.  The simulated ScanTool and the test update server both run this way.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillon::test {

class LineProcess {
public:
    LineProcess() = default;
    ~LineProcess() { Stop(); }
    LineProcess(const LineProcess&) = delete;
    LineProcess& operator=(const LineProcess&) = delete;

    // Starts argv[0] (looked up in PATH) with `argv`; stderr goes to `errPath`.  False with
    // `error` set when it cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::string& errPath,
               std::string& error);
    bool Running() const { return pid_ > 0; }
    // Sends "quit", waits up to three seconds, then kills.
    void Stop();

    // The next line the process wrote (without its newline); false after the timeout or when
    // the process has gone.
    bool ReadLine(std::string& line, std::chrono::milliseconds timeout);
    // Sends one command line and returns its answer, or "error no answer" after the timeout.
    // Lines starting with "# " are skipped, and so are late answers of commands that timed out.
    std::string Command(const std::string& line, std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string pending_;
    int unanswered_ = 0;
};

} // namespace quillon::test
