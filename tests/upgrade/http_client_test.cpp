#include "upgrade/http_client.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/upgrade/upgrade_test_util.h"

namespace {

using quillon::test::UpdateServerSuite;
using Clock = std::chrono::steady_clock;

const std::string kCheck = "/quillon/kv_checkupgrade.php";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A connector whose "server" is a canned byte stream on a socket pair.
class CannedServer {
public:
    ~CannedServer() {
        if (peer_ >= 0)
            close(peer_);
    }
    HttpConnector Connector(const std::string& response) {
        return [this, response](const std::string&, int, int) {
            int pair[2];
            if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
                return platform::TcpSocket();
            send(pair[1], response.data(), response.size(), 0);
            shutdown(pair[1], SHUT_WR);
            peer_ = pair[1];
            return platform::TcpSocket(pair[0]);
        };
    }
    void ClosePeer() {
        close(peer_);
        peer_ = -1;
    }

private:
    int peer_ = -1;
};

class HttpClientTest : public UpdateServerSuite {
protected:
    // Posts the usual body to the check-upgrade script; the reply text or "" and the result.
    int Post(std::string& text, int timeoutMs = 5000, int capacity = 260) {
        std::vector<char> reply(static_cast<std::size_t>(capacity) + 1, '\x7F');
        const std::string url = Server().Url(kCheck);
        const int n =
            HttpRequest(url.c_str(), "types=ABC&subtype=2", 0, reply.data(), capacity, timeoutMs);
        text = n > 0 ? std::string(reply.data(), static_cast<std::size_t>(n)) : "";
        return n;
    }
    std::string NormalReply() {
        std::string text;
        EXPECT_GT(Post(text), 0);
        return text;
    }
};

TEST_F(HttpClientTest, PostSendsItsTemplateBodyAndTrailingBlankLine) {
    const std::string text = NormalReply();
    EXPECT_EQ(text.rfind("ok|1.0.2|/quillon/images/a.rom|1048|2.0.1|", 0), 0u) << text;
    const auto requests = NewRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, "POST /quillon/kv_checkupgrade.php HTTP/1.0\r\n"
                               "Host: 127.0.0.1\r\n"
                               "Accept-Encoding: gzip,deflate\r\n"
                               "Accept-Language: zh-cn\r\n"
                               "Accept: */*\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: 19\r\n"
                               "\r\n"
                               "types=ABC&subtype=2\r\n\r\n");
}

TEST_F(HttpClientTest, LongPostArrivesWholeThoughSentInPieces) {
    const std::string body = "types=" + std::string(1000, 'T') + "&subtype=2";
    char reply[260];
    const std::string url = Server().Url(kCheck);
    EXPECT_GT(HttpRequest(url.c_str(), body.c_str(), static_cast<int>(body.size()), reply,
                          sizeof reply, 5000),
              0);
    const auto requests = NewRequests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& raw = requests[0].raw;
    EXPECT_NE(
        raw.find("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n\r\n"),
        std::string::npos);
    EXPECT_EQ(raw.substr(raw.size() - body.size() - 4), body + "\r\n\r\n");
}

TEST_F(HttpClientTest, GetSendsItsTemplateWithPathQueryAndBareHost) {
    struct Case {
        std::string pathAndQuery;
        std::string requestLine;
    };
    const Case cases[] = {{"/a?b=1", "GET /a?b=1 HTTP/1.0\r\n"}, {"", "GET / HTTP/1.0\r\n"}};
    for (const auto& c : cases) {
        char reply[64];
        const std::string url = Server().Url(c.pathAndQuery);
        EXPECT_EQ(HttpRequest(url.c_str(), nullptr, 0, reply, sizeof reply, 5000), 0); // a 404
    }
    const auto requests = NewRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(requests[i].raw, cases[i].requestLine + "Accept: */*\r\n"
                                                          "Accept-Language: zh-cn\r\n"
                                                          "User-Agent: Mozilla/4.0\r\n"
                                                          "Host: 127.0.0.1\r\n"
                                                          "Connection: close\r\n"
                                                          "Cache-Control: no-cache\r\n"
                                                          "\r\n");
    }
}

// Each misbehaviour of the server, and what the call makes of it.
TEST_F(HttpClientTest, ServerMisbehaviourEndsInZeroOrTheRightBody) {
    const std::string normal = NormalReply();
    struct Case {
        std::string fault; // applied once to the check script
        bool succeeds;
        std::string body; // expected text when it succeeds; "" means the normal reply
        std::vector<std::string> methods; // as the server saw them; empty: one POST
    };
    const Case cases[] = {
        {"status code=404", false, "", {}},
        {"status code=500", false, "", {}},
        {"not-http", false, "", {}},
        {"long-head size=1025", false, "", {}},
        {"long-head size=1024", true, "", {}}, // just fits the head buffer
        {"bad-gzip", false, "", {}},
        {"truncate after=10", false, "", {}},
        {"reset after=10", false, "", {}},
        {"no-length", true, "", {}},
        {"gzip", true, "", {}},
        {"deflate", true, "", {}},
        {"deflate raw=1", true, "", {}},
        {"body text=x|a|b", true, "x|a|b", {}},
        {"redirect hops=1 relative=0", true, "", {"POST", "GET"}},
        {"redirect hops=2 relative=1", true, "", {"POST", "GET", "GET"}},
        {"redirect hops=2 relative=2", true, "", {"POST", "GET", "GET"}},
        {"redirect hops=3 relative=0", false, "", {"POST", "GET", "GET"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(Server().Clear());
        const std::size_t before = Server().Requests().size();
        ASSERT_TRUE(Server().Fault(c.fault + " target=check count=1")) << Server().Error();
        std::string text;
        const int n = Post(text);
        if (!c.succeeds) {
            EXPECT_EQ(n, 0);
        } else {
            // A redirected request is a GET without the body: the server's default offer.
            EXPECT_EQ(text, c.body.empty() ? normal : c.body);
        }
        std::vector<std::string> methods;
        const auto requests = Server().Requests();
        for (std::size_t i = before; i < requests.size(); ++i)
            methods.push_back(requests[i].method);
        EXPECT_EQ(methods, c.methods.empty() ? std::vector<std::string>{"POST"} : c.methods);
    }
}

TEST_F(HttpClientTest, StopsReadingOnceContentLengthBytesArrived) {
    ASSERT_TRUE(Server().Fault("body text=hello target=check count=1"));
    ASSERT_TRUE(Server().Fault("hold target=check count=1")); // the server keeps the line open
    const auto start = Clock::now();
    std::string text;
    EXPECT_EQ(Post(text, 20000), 5);
    EXPECT_EQ(text, "hello");
    EXPECT_LT(SecondsSince(start), 10.0); // long before the budget ran out
}

TEST_F(HttpClientTest, StoresAtMostTheBufferAndAZeroOnlyWhenThereIsRoom) {
    const std::string big(300, 'B');
    ASSERT_TRUE(Server().Fault("body text=" + big + " target=check count=1"));
    ASSERT_TRUE(Server().Fault("no-length target=check count=1"));
    std::vector<char> reply(261, '\x7F');
    const std::string url = Server().Url(kCheck);
    EXPECT_EQ(HttpRequest(url.c_str(), "types=A&subtype=1", 0, reply.data(), 260, 5000), 260);
    EXPECT_EQ(std::string(reply.data(), 260), big.substr(0, 260));
    EXPECT_EQ(reply[260], '\x7F'); // nothing written past the buffer

    ASSERT_TRUE(Server().Fault("body text=short target=check count=1"));
    EXPECT_EQ(HttpRequest(url.c_str(), "types=A&subtype=1", 0, reply.data(), 260, 5000), 5);
    EXPECT_EQ(reply[5], '\0');
}

TEST_F(HttpClientTest, SilenceAndTrickleEndWithinTheBudget) {
    for (const std::string fault : {"silent", "trickle bytes=1 interval=0.05"}) {
        SCOPED_TRACE(fault);
        ASSERT_TRUE(Server().Fault(fault + " target=check count=1"));
        const auto start = Clock::now();
        std::string text;
        EXPECT_EQ(Post(text, 400), 0);
        EXPECT_LT(SecondsSince(start), 3.0);
    }
}

TEST_F(HttpClientTest, FailuresBeforeTheExchangeGiveMinusOne) {
    char reply[64];
    // No "://": nothing goes out.
    EXPECT_EQ(HttpRequest("127.0.0.1/quillon", nullptr, 0, reply, sizeof reply, 1000), -1);
    EXPECT_TRUE(NewRequests().empty());

    // Nobody listens: the diagnostic line on standard output.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
    close(probe);
    const std::string closed = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    testing::internal::CaptureStdout();
    EXPECT_EQ(HttpRequest(closed.c_str(), nullptr, 0, reply, sizeof reply, 1000), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "connect error!\n");
}

TEST_F(HttpClientTest, BudgetSpentOnConnectingSendsNothing) {
    const auto slowConnect = [](const std::string& host, int port, int) {
        auto address = ResolveHost(host);
        platform::TcpSocket socket;
        address->SetPort(port);
        if (socket.Create(address->family) && socket.Connect(*address, 1000))
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return socket;
    };
    char reply[64];
    const std::string url = Server().Url(kCheck);
    EXPECT_EQ(HttpRequestWith(slowConnect, url.c_str(), "types=A", 0, reply, sizeof reply, 100),
              -1);
    EXPECT_TRUE(NewRequests().empty());
}

TEST(HttpClientCanned, FailedSendPrintsItsLineAndGivesMinusOne) {
    CannedServer canned;
    auto connect = canned.Connector("");
    auto closingConnect = [&](const std::string& host, int port, int budget) {
        auto socket = connect(host, port, budget);
        canned.ClosePeer();
        return socket;
    };
    char reply[64];
    testing::internal::CaptureStdout();
    EXPECT_EQ(HttpRequestWith(closingConnect, "http://h/", nullptr, 0, reply, sizeof reply, 1000),
              -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "send error 32\xA3\xAC"
                                                      "Error message'" +
                                                          std::string(std::strerror(32)) + "'\n");
}

TEST(HttpClientCanned, NeverStoresMoreThanContentLengthAnnounced) {
    CannedServer canned;
    char reply[64];
    std::memset(reply, 0x7F, sizeof reply);
    EXPECT_EQ(
        HttpRequestWith(canned.Connector("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"),
                        "http://h/", nullptr, 0, reply, sizeof reply, 1000),
        3);
    EXPECT_STREQ(reply, "abc");
}

} // namespace
