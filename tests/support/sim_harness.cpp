#include "tests/support/sim_harness.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/sim_log_parse.h"

extern char** environ;

namespace quillon::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

std::string MakeScratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon-sim-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return {};
    return buf.data();
}

std::string Hex4(std::uint16_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", code);
    return text;
}

std::string DefaultSimulator() {
#ifdef QUILLON_SIMULATOR
    return QUILLON_SIMULATOR;
#else
    return "tools/scantool_sim.py";
#endif
}

} // namespace

SimHarness::SimHarness(SimOptions options) : options_(std::move(options)) {
    if (options_.scratchDir.empty()) {
        scratch_ = MakeScratch();
        ownsScratch_ = !scratch_.empty();
    } else {
        scratch_ = options_.scratchDir;
    }
    if (options_.simulator.empty())
        options_.simulator = DefaultSimulator();
}

SimHarness::~SimHarness() {
    Stop();
    if (ownsScratch_) {
        std::error_code ec;
        fs::remove_all(scratch_, ec);
    }
}

std::string SimHarness::ImageDir() const {
    return scratch_ + "/images" + std::to_string(options_.index);
}

std::string SimHarness::LogPath() const {
    return scratch_ + "/frames" + std::to_string(options_.index) + ".jsonl";
}

std::string SimHarness::DevicePath() const {
    return DevDir() + "/ttyACM" + std::to_string(options_.index);
}

bool SimHarness::Start(const std::vector<std::string>& extraArgs) {
    if (Running()) {
        error_ = "already running";
        return false;
    }
    if (scratch_.empty()) {
        error_ = "cannot create a scratch folder";
        return false;
    }
    std::error_code ec;
    // Both exist before the device appears, so that watchers can be set up first.
    fs::create_directories(DevDir(), ec);
    fs::create_directories(SysfsRoot() + "/class/tty", ec);

    std::vector<std::string> args = {
        "python3",      options_.simulator, "--dev-dir", DevDir(),
        "--sysfs-root", SysfsRoot(),        "--index",   std::to_string(options_.index),
        "--image-dir",  ImageDir(),         "--log",     LogPath()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        error_ = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    const std::string errPath = scratch_ + "/sim" + std::to_string(options_.index) + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    int rc = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pair[1]);
    if (rc != 0) {
        close(pair[0]);
        pid_ = -1;
        error_ = std::string("cannot start python3: ") + std::strerror(rc);
        return false;
    }
    fd_ = pair[0];
    pending_.clear();
    unanswered_ = 0;

    std::string line;
    if (!ReadLine(line, options_.readyTimeout) || line.rfind("READY ", 0) != 0) {
        std::ifstream err(errPath);
        error_ = "simulator not ready: " + line + " " +
                 std::string(std::istreambuf_iterator<char>(err), {});
        Stop();
        return false;
    }
    slave_ = line.substr(6);
    if (slave_ == "-")
        slave_.clear();
    return true;
}

bool SimHarness::Running() const {
    return pid_ > 0;
}

void SimHarness::Stop() {
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

bool SimHarness::ReadLine(std::string& line, milliseconds timeout) {
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
            return false; // the simulator has gone
        pending_.append(buf, static_cast<std::size_t>(got));
    }
}

std::string SimHarness::Command(const std::string& line, milliseconds timeout) {
    if (fd_ < 0)
        return "error simulator not running";
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

bool SimHarness::Ok(const std::string& line, milliseconds timeout) {
    std::string answer = Command(line, timeout);
    if (answer == "ok" || answer.rfind("ok ", 0) == 0)
        return true;
    error_ = line + ": " + answer;
    return false;
}

bool SimHarness::WaitForRequests(std::uint16_t code, int count, milliseconds timeout) {
    return Ok("wait code=" + Hex4(code) + " count=" + std::to_string(count) +
                  " timeout_ms=" + std::to_string(timeout.count()),
              timeout + milliseconds(2000));
}

bool SimHarness::Plug() {
    std::string answer = Command("plug");
    if (answer.rfind("ok ", 0) != 0) {
        error_ = "plug: " + answer;
        return false;
    }
    slave_ = answer.substr(3);
    return true;
}

bool SimHarness::Unplug() {
    if (!Ok("unplug"))
        return false;
    slave_.clear();
    return true;
}

bool SimHarness::Print(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty())
        return true;
    static const char digits[] = "0123456789abcdef";
    std::string line = "print ";
    for (std::uint8_t b : bytes) {
        line += digits[b >> 4];
        line += digits[b & 0x0F];
    }
    return Ok(line);
}

bool SimHarness::Wave(const std::vector<std::uint16_t>& samples) {
    std::string line = "wave";
    for (std::uint16_t v : samples)
        line += " " + std::to_string(v);
    return Ok(line);
}

bool SimHarness::ArmUpload(int blocks, std::size_t size, const std::string& options) {
    return Ok("upload blocks=" + std::to_string(blocks) + " size=" + std::to_string(size) + " " +
              options);
}

bool SimHarness::WaitForUpload(milliseconds timeout) {
    return Ok("wait upload=done timeout_ms=" + std::to_string(timeout.count()),
              timeout + milliseconds(2000));
}

int SimHarness::RequestCount(std::uint16_t code) {
    std::string answer = Command("count code=" + Hex4(code));
    if (answer.rfind("ok ", 0) != 0)
        return -1;
    return std::atoi(answer.c_str() + 3);
}

std::vector<SimFrame> SimHarness::Log() {
    if (Running())
        Ok("sync");
    std::vector<SimFrame> frames;
    std::ifstream in(LogPath());
    std::string line;
    while (std::getline(in, line)) {
        if (auto frame = ParseSimLogLine(line))
            frames.push_back(std::move(*frame));
    }
    return frames;
}

std::vector<SimFrame> SimHarness::Received(std::uint16_t code) {
    std::vector<SimFrame> out;
    for (auto& f : Log())
        if (f.dir == SimFrame::Dir::Received && f.error.empty() && f.code == code)
            out.push_back(std::move(f));
    return out;
}

std::vector<SimFrame> SimHarness::Sent(std::uint16_t code) {
    std::vector<SimFrame> out;
    for (auto& f : Log())
        if (f.dir == SimFrame::Dir::Sent && !f.marker.empty() && f.code == code)
            out.push_back(std::move(f));
    return out;
}

std::optional<std::vector<std::uint8_t>> SimHarness::Image(int kind) {
    if (Running())
        Ok("sync");
    static const char* names[] = {nullptr, "rom.bin", "flash.bin", "logo.bin"};
    std::string name =
        kind >= 1 && kind <= 3 ? names[kind] : "kind" + std::to_string(kind) + ".bin";
    std::ifstream in(ImageDir() + "/" + name, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> SimHarness::UploadBlockData(int number, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>((static_cast<std::size_t>(number) + i) & 0xFF);
    return data;
}

ScopedSimEnvironment::ScopedSimEnvironment(const SimHarness& sim)
    : ScopedSimEnvironment(sim.DevDir(), sim.SysfsRoot()) {}

ScopedSimEnvironment::ScopedSimEnvironment(const std::string& devDir,
                                           const std::string& sysfsRoot) {
    Set("QUILLON_DEV_DIR", devDir);
    Set("QUILLON_SYSFS_ROOT", sysfsRoot);
}

void ScopedSimEnvironment::Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedSimEnvironment::~ScopedSimEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->value)
            setenv(it->name.c_str(), it->value->c_str(), 1);
        else
            unsetenv(it->name.c_str());
    }
}

} // namespace quillon::test
