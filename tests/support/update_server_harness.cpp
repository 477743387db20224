#include "tests/support/update_server_harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/sim_log_parse.h"

namespace quillon::test {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

std::string ServerScript() {
#ifdef QUILLON_UPDATE_SERVER
    return QUILLON_UPDATE_SERVER;
#else
    return "tools/update_server.py";
#endif
}

} // namespace

UpdateServerHarness::UpdateServerHarness() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon-server-XXXXXX";
    if (mkdtemp(pattern.data()))
        scratch_ = pattern;
    std::error_code ec;
    fs::create_directories(ImageDir(), ec);
}

UpdateServerHarness::~UpdateServerHarness() {
    Stop();
    std::error_code ec;
    if (!scratch_.empty())
        fs::remove_all(scratch_, ec);
}

bool UpdateServerHarness::Start(const std::vector<std::string>& extraArgs) {
    if (scratch_.empty()) {
        error_ = "cannot create a scratch folder";
        return false;
    }
    std::vector<std::string> args = {"python3",  "-B",    ServerScript(),
                                     "--port",   "0",     "--images",
                                     ImageDir(), "--log", scratch_ + "/requests.jsonl"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    const std::string errPath = scratch_ + "/server.err";
    if (!process_.Start(args, errPath, error_))
        return false;
    std::string line;
    if (!process_.ReadLine(line, milliseconds(10000)) || line.rfind("READY ", 0) != 0) {
        std::ifstream err(errPath);
        error_ = "update server not ready: " + line + " " +
                 std::string(std::istreambuf_iterator<char>(err), {});
        Stop();
        return false;
    }
    port_ = std::atoi(line.c_str() + 6);
    return port_ > 0;
}

void UpdateServerHarness::Stop() {
    process_.Stop();
}

std::string UpdateServerHarness::Command(const std::string& line) {
    if (!process_.Running())
        return "error update server not running";
    return process_.Command(line, milliseconds(5000));
}

bool UpdateServerHarness::Ok(const std::string& line) {
    const std::string answer = Command(line);
    if (answer == "ok" || answer.rfind("ok ", 0) == 0)
        return true;
    error_ = line + ": " + answer;
    return false;
}

bool UpdateServerHarness::Offer(const std::string& key, const std::string& romVersion,
                                const std::string& romFile, const std::string& flashVersion,
                                const std::string& flashFile) {
    return Ok("offer key=" + key + " rom=" + romVersion + ":" + romFile + " flash=" + flashVersion +
              ":" + flashFile);
}

bool UpdateServerHarness::AddImage(const std::string& name,
                                   const std::vector<std::uint8_t>& bytes) {
    // Written aside and renamed, so that the server never serves half a file.
    const std::string incoming = scratch_ + "/incoming.tmp";
    {
        std::ofstream out(incoming, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    std::error_code ec;
    const fs::path target = ImageDir() + "/" + name;
    fs::create_directories(target.parent_path(), ec);
    fs::rename(incoming, target, ec);
    return !ec;
}

std::vector<ServerRequest> UpdateServerHarness::Requests() const {
    std::vector<ServerRequest> out;
    std::ifstream log(scratch_ + "/requests.jsonl");
    std::string line;
    while (std::getline(log, line)) {
        ServerRequest r;
        r.method = LogField(line, "method").value_or("");
        r.target = LogField(line, "path").value_or("");
        const auto raw = HexBytes(LogField(line, "raw").value_or(""));
        r.raw.assign(raw.begin(), raw.end());
        r.faults = LogField(line, "faults").value_or("");
        out.push_back(std::move(r));
    }
    return out;
}

} // namespace quillon::test
