#include "upgrade/update_server.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

#include "core/main_state.h"
#include "tests/support/window_doubles.h"
#include "tests/upgrade/upgrade_test_util.h"

namespace {

using quillon::test::ScopedEnv;
using quillon::test::ScopedUpdateHost;
using quillon::test::UpdateServerSuite;

TEST(SplitOfferReply, TakesSixFieldsAfterTheFirstBar) {
    struct Case {
        std::string reply;
        int count;
        std::array<std::string, 6> fields;
    };
    const Case cases[] = {
        {"x|1.0.2|/fw/a.rom|1048624|2.0.1|/fw/b.fls|524336",
         6,
         {"1.0.2", "/fw/a.rom", "1048624", "2.0.1", "/fw/b.fls", "524336"}},
        // Five bars: the text ends in the fifth field; an empty sixth follows.
        {"x|1|/a|10|2|/b", 6, {"1", "/a", "10", "2", "/b", ""}},
        {"x|1|/a|10|2|/b|", 6, {"1", "/a", "10", "2", "/b", ""}},
        {"x|1|/a|10|2|/b|20|more|and more", 6, {"1", "/a", "10", "2", "/b", "20"}},
        {"x|1|/a|10|2", 5, {"1", "/a", "10", "2", ""}},
        {"no bars at all", 1, {""}},
        {"", 1, {""}},
        // The text ends at a zero byte.
        {std::string("x|1|/a|10|2|/b\0|c|d", 19), 6, {"1", "/a", "10", "2", "/b", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        std::array<std::string_view, 6> fields;
        const int count = SplitOfferReply(c.reply.data(), c.reply.size(), fields);
        ASSERT_EQ(count, c.count);
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(fields[static_cast<std::size_t>(i)], c.fields[static_cast<std::size_t>(i)]);
    }
}

TEST(ReadLeadingInteger, ReadsLikeAtol) {
    const std::pair<const char*, long> cases[] = {
        {"1048624", 1048624},
        {"  42abc", 42},
        {"-7", -7},
        {"+8", 8},
        {"", 0},
        {"abc", 0},
        {"\t\n 3\r\n", 3},
        {"99999999999999999999999", LONG_MAX},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadLeadingInteger(text), value) << text;
}

TEST(CompareVersions, ComparesUpToThreeNumericFields) {
    struct Case {
        const char* a;
        const char* b;
        int result;
    };
    const Case cases[] = {
        {"1.10", "1.9", 1},     {"1.9", "1.10", -1}, {"1.2.3.4", "1.2.3.5", 0},
        {"0.0.0", "1.0.0", -1}, {"V2", "1", -1},     {"01.5", "1.5", 0},
        {"1.2", "1.2.7", 0},    {"1.2.7", "1.2", 0}, {"2.0.1", "2.0.0", 1},
        {"1.0.0", "1.0.0", 0},  {"", "", 0},         {"3", "2.9.9", 1},
        {"1.2.3", "1.2.4", -1}, {"10.0", "9.99", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompareVersions(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

TEST(UpdateServerHost, EnvironmentOverridesTheBuiltInHostWhenValid) {
    const std::string builtIn = [] {
        ScopedEnv unset("QUILLON_UPDATE_HOST", std::nullopt);
        return UpdateServerHost();
    }();
    EXPECT_FALSE(builtIn.empty());
    EXPECT_EQ(builtIn.find('/'), std::string::npos);
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1:8080", true},
        {"updates.example.org", true},
        {"h:1", true},
        {"h:0", false},
        {"h:65536", false},
        {"", false},
        {"h/x", false},
        {"h:80x", false},
        {"a b", false},
    };
    for (const auto& [value, taken] : cases) {
        ScopedEnv env("QUILLON_UPDATE_HOST", value);
        EXPECT_EQ(UpdateServerHost(), taken ? value : builtIn) << value;
    }
}

class RequestUpgradeOfferTest : public UpdateServerSuite {
protected:
    void SetUp() override {
        UpdateServerSuite::SetUp();
        state.MessageBox = &messages;
    }
    bool Request(UpgradeOffer& offer, const char* type = "ABC", const char* subtype = "2") {
        ScopedUpdateHost host(Server());
        return RequestUpgradeOffer(state, type, subtype, offer);
    }
    MainState state;
    RecordingMessages messages;
};

TEST_F(RequestUpgradeOfferTest, PostsTypeAndSubtypeAndFillsTheOffer) {
    ASSERT_TRUE(Server().Offer("ABC/2", "1.0.3", "a.rom", "2.1.0", "b.fls"));
    UpgradeOffer offer;
    ASSERT_TRUE(Request(offer));
    EXPECT_EQ(offer.RomVersion, "1.0.3");
    EXPECT_EQ(offer.RomPath, "/quillon/images/a.rom");
    EXPECT_EQ(offer.RomSize, 1000 + 48);
    EXPECT_EQ(offer.FlashVersion, "2.1.0");
    EXPECT_EQ(offer.FlashPath, "/quillon/images/b.fls");
    EXPECT_EQ(offer.FlashSize, 3000 + 48);
    const auto requests = NewRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/quillon/kv_checkupgrade.php");
    const std::string& raw = requests[0].raw;
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), "types=ABC&subtype=2\r\n\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RequestUpgradeOfferTest, RepliesSplitIntoTheOfferOrTheMalformedMessage) {
    struct Case {
        std::string reply; // percent-encoded for the server's command line
        bool ok;
        UpgradeOffer offer;
    };
    const std::string full = "x|1.0.2|/fw/a.rom|1048624|2.0.1|/fw/b.fls|524336";
    // 260 bytes or more: split on the first 260 only, so the last size ends at 12345.
    const std::string padded = "x|1|/a|10|2|/b|" + std::string(240, '0') + "12345" + "678";
    const Case cases[] = {
        {full, true, {"1.0.2", "/fw/a.rom", 1048624, "2.0.1", "/fw/b.fls", 524336}},
        {"x|1.0.2|/fw/a.rom|1048624|2.0.1|/fw/b.fls",
         true,
         {"1.0.2", "/fw/a.rom", 1048624, "2.0.1", "/fw/b.fls", 0}},
        {"x|1.0.2|/fw/a.rom|1048624|2.0.1", false, {}},
        {"x|123456789012|/a|1|ABCDEFGHIJKL|/b|2",
         true,
         {"1234567890", "/a", 1, "ABCDEFGHIJ", "/b", 2}},
        {"x|1|/a|%20%2012kb|2|/b|-5", true, {"1", "/a", 12, "2", "/b", -5}},
        {"x|1|/a|99999999999|2|/b|1", true, {"1", "/a", INT32_MAX, "2", "/b", 1}},
        {padded, true, {"1", "/a", 10, "2", "/b", 12345}},
        {"nothing", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        ASSERT_TRUE(Server().Fault("body text=" + c.reply + " target=check count=1"));
        messages.shown.clear();
        UpgradeOffer offer;
        ASSERT_EQ(Request(offer), c.ok);
        if (!c.ok) {
            EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Fail to request server!"});
            continue;
        }
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_EQ(offer.RomVersion, c.offer.RomVersion);
        EXPECT_EQ(offer.RomPath, c.offer.RomPath);
        EXPECT_EQ(offer.RomSize, c.offer.RomSize);
        EXPECT_EQ(offer.FlashVersion, c.offer.FlashVersion);
        EXPECT_EQ(offer.FlashPath, c.offer.FlashPath);
        EXPECT_EQ(offer.FlashSize, c.offer.FlashSize);
    }
}

TEST_F(RequestUpgradeOfferTest, NoAnswerFailsWithoutAMessage) {
    for (const std::string fault : {"status code=404", "not-http", "reset after=0"}) {
        ASSERT_TRUE(Server().Fault(fault + " target=check count=1"));
        UpgradeOffer offer;
        EXPECT_FALSE(Request(offer)) << fault;
    }
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
