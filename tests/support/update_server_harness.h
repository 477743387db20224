#pragma once
// Runs the test update server (tools/update_server.py) on 127.0.0.1 for a test: a scratch folder
// with the image folder and the request log, the server as a child process on a free port,
// steered by line commands; the request log read back.
//
//   quillon::test::UpdateServerHarness server;
//   server.AddImage("a.rom", bytes);
//   ASSERT_TRUE(server.Start()) << server.Error();
//   ASSERT_TRUE(server.Offer("default", "1.0.2", "a.rom", "2.0.1", "b.fls"));
//   quillon::test::ScopedUpdateHost host(server);      // QUILLON_UPDATE_HOST=127.0.0.1:<port>
//   ASSERT_TRUE(server.Fault("truncate target=images after=100 count=1"));
//   ... download ...
//   EXPECT_EQ(server.Requests().back().method, "GET");
//
// Commands and fault kinds are those of the server (see tools/README-update-server.md).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/line_process.h"
#include "tests/support/scoped_env.h"

namespace quillon::test {

// One request as the server received it.
struct ServerRequest {
    std::string method;
    std::string target; // path and query
    std::string raw;    // every byte received before the server answered
    std::string faults; // fault kinds applied, comma-separated
};

class UpdateServerHarness {
public:
    UpdateServerHarness();
    ~UpdateServerHarness(); // stops the server and removes the scratch folder
    UpdateServerHarness(const UpdateServerHarness&) = delete;
    UpdateServerHarness& operator=(const UpdateServerHarness&) = delete;

    // Starts the server with these extra options (e.g. "--no-trailer") and waits for READY.
    bool Start(const std::vector<std::string>& extraArgs = {});
    void Stop();
    const std::string& Error() const { return error_; }

    int Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& pathAndQuery) const {
        return "http://" + HostPort() + pathAndQuery;
    }

    // Sends a command line; "ok ..." or "error ...".
    std::string Command(const std::string& line);
    bool Ok(const std::string& line);
    // "fault <kind> [target=...] [count=N] [param=value ...]"
    bool Fault(const std::string& kindAndParams) { return Ok("fault " + kindAndParams); }
    bool Clear() { return Ok("clear"); }
    bool Offer(const std::string& key, const std::string& romVersion, const std::string& romFile,
               const std::string& flashVersion, const std::string& flashFile);

    // Writes an image file into the served folder (any time, also while running).
    bool AddImage(const std::string& name, const std::vector<std::uint8_t>& bytes);
    std::string ImageDir() const { return scratch_ + "/images"; }
    std::string ScratchDir() const { return scratch_; }

    // The requests logged so far (control requests are not logged).
    std::vector<ServerRequest> Requests() const;

private:
    std::string scratch_;
    LineProcess process_;
    int port_ = 0;
    std::string error_;
};

// Points QUILLON_UPDATE_HOST at a running server for as long as it lives.
class ScopedUpdateHost : public ScopedEnv {
public:
    explicit ScopedUpdateHost(const UpdateServerHarness& server)
        : ScopedEnv("QUILLON_UPDATE_HOST", server.HostPort()) {}
};

} // namespace quillon::test
