#include "tests/support/sim_harness.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

#include "tests/support/sim_log_parse.h"

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
    const std::string errPath = scratch_ + "/sim" + std::to_string(options_.index) + ".err";
    if (!process_.Start(args, errPath, error_))
        return false;

    std::string line;
    if (!process_.ReadLine(line, options_.readyTimeout) || line.rfind("READY ", 0) != 0) {
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
    return process_.Running();
}

void SimHarness::Stop() {
    process_.Stop();
}

std::string SimHarness::Command(const std::string& line, milliseconds timeout) {
    if (!process_.Running())
        return "error simulator not running";
    return process_.Command(line, timeout);
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
