#include "upgrade/http_client.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(ParseUrl, SplitsHostPortAndPath) {
    struct Case {
        const char* url;
        bool ok;
        int port;
        const char* host;
        const char* path;
    };
    const std::string host63(63, 'h');
    const std::string host64(64, 'h');
    const std::string long63 = "http://" + host63 + "/x";
    const std::string long64 = "http://" + host64 + "/x";
    const Case cases[] = {
        {"http://example.org:8080/a?b=1", true, 8080, "example.org", "/a?b=1"},
        {"http://example.org", true, 80, "example.org", ""},
        {"http://example.org/", true, 80, "example.org", "/"},
        {"ftp://h/x/y", true, 80, "h", "/x/y"}, // the scheme is not examined
        {"http://h:/x", true, 0, "h", "/x"},    // no digits give port 0
        {"http://h:65535", true, 65535, "h", ""},
        {long63.c_str(), true, 80, host63.c_str(), "/x"},
        {"example.org/a", false, 0, "", ""}, // no "://"
        {"http:/example.org", false, 0, "", ""},
        {long64.c_str(), false, 0, "", ""}, // a host of 64 characters does not fit
        {"http://h:65536/", false, 0, "", ""},
        {"http://h:99999999999999999999/", false, 0, "", ""},
        {"http://h/a b", false, 0, "", ""}, // a blank would break the request line
        {"http://h/a\r\nX: y", false, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        int port = -1;
        char host[64] = "unchanged";
        const std::string url = c.url;
        const auto path = ParseUrl(url, port, host, sizeof host);
        ASSERT_EQ(path.has_value(), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(port, c.port);
        EXPECT_STREQ(host, c.host);
        EXPECT_EQ(url.substr(*path), c.path);
    }
}

TEST(ParseResponseHead, ReadsStatusBodyOffsetLengthAndLocation) {
    struct Case {
        std::string head;
        int result;
        int offset;
        int length;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, 38, 5},
        {"HTTP/1.1 200 OK\r\ncontent-length:7\r\n\r\n", 200, 37, 7},
        {"HTTP/1.0 200 OK\r\n\r\nbody", 200, 19, -1},
        {"HTTP/1.0   200 OK\r\nServer: x\r\n\r\n", 200, 32, -1},
        // A Content-Length in the body is not a header.
        {"HTTP/1.0 200 OK\r\n\r\nContent-Length: 3\r\n\r\n", 200, 19, -1},
        {"HTTP/1.0 302 Found\r\nLocation: http://h/x\r\n\r\n", 302, 30, 10},
        {"HTTP/1.0 301 Moved\r\nlocation:   /y  \r\n\r\n", 301, 32, 2},
        {"HTTP/1.0 302 Found\r\nServer: x\r\n\r\n", -1, 0, 0}, // a redirect to nowhere
        {"HTTP/1.0 302 Found\r\nLocation: \r\n\r\n", -1, 0, 0},
        {"HTTP/1.0 404 Not Found\r\n\r\n", -1, 0, 0},
        {"HTTP/1.0 2000 OK\r\n\r\n", -1, 0, 0},
        {"http/1.0 200 OK\r\n\r\n", -1, 0, 0}, // "HTTP" is case-sensitive
        {"JUNK/1.0 200 OK\r\n\r\n", -1, 0, 0},
        {"HTTX", -1, 0, 0},
        {"HT", 0, 0, 0},                                       // may still become HTTP
        {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n", 0, 0, 0}, // head not complete
        {"HTTP/1.0 302 Found\r\nLocation: /x\r\n", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        int offset = 0;
        int length = 0;
        EXPECT_EQ(ParseResponseHead(c.head.data(), c.head.size(), offset, length), c.result);
        if (c.result > 0) {
            EXPECT_EQ(offset, c.offset);
            EXPECT_EQ(length, c.length);
        }
    }
}

// However the head is cut into reads, every prefix is "incomplete" until the head is whole.
TEST(ParseResponseHead, EveryPrefixOfAGoodHeadIsIncomplete) {
    for (const std::string head : {"HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\n",
                                   "HTTP/1.0 302 Found\r\nLocation: http://h/x\r\n\r\n"}) {
        for (std::size_t n = 0; n < head.size(); ++n) {
            int offset = 0;
            int length = 0;
            EXPECT_EQ(ParseResponseHead(head.data(), n, offset, length), 0) << n;
        }
    }
}

TEST(ResolveLocation, FollowsAbsoluteAndRelativeTargets) {
    struct Case {
        const char* current;
        const char* location;
        const char* expected;
    };
    const Case cases[] = {
        {"http://a:81/x/y.php", "http://b/z", "http://b/z"},
        {"http://a:81/x/y.php", "//b:82/z", "http://b:82/z"},
        {"http://a:81/x/y.php?q=1", "/z?k", "http://a:81/z?k"},
        {"http://a:81/x/y.php?q=/1", "z.php", "http://a:81/x/z.php"},
        {"http://a:81", "z", "http://a:81/z"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveLocation(c.current, c.location), c.expected) << c.location;
}

TEST(ResolveHost, TakesDottedAddressesAsTheyStandAndPrefersIpv4) {
    const auto dotted = ResolveHost("127.0.0.1");
    ASSERT_TRUE(dotted);
    EXPECT_EQ(dotted->family, AF_INET);
    EXPECT_EQ(dotted->Text(), "127.0.0.1");
    const auto local = ResolveHost("localhost");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->family, AF_INET); // localhost has both; IPv4 comes first
    const auto v6 = ResolveHost("::1");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->family, AF_INET6); // a host with no IPv4 address falls back to IPv6
}

} // namespace
