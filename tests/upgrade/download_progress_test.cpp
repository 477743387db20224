// The progress object and the handler that drives the window's label and gauge, without a
// network.
#include "upgrade/download.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/main_state.h"
#include "tests/support/window_doubles.h"

namespace {

class ProgressTextsDefault : public testing::Test {
protected:
    void SetUp() override {
        for (int n = 0; n <= kProgressTextCount; ++n)
            ProgressTexts[static_cast<std::size_t>(n)] =
                kProgressTextDefaults[static_cast<std::size_t>(n)];
    }
};

using ProgressTextTest = ProgressTextsDefault;

TEST_F(ProgressTextTest, NamesTheObjectForCodesOneTwoFourAndSix) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, ""},
        {1, "Finding resource host"},
        {2, "Connecting to host"},
        {3, "Redirecting..."},
        {4, "Start to download host"},
        {5, "Downloading files from internet..."},
        {6, "Complete downloading host"},
        {7, "Start to download components"},
        {11, "Sending request..."},
        {33, "Valid types of range requests for a resource"},
        {34, ""},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(ProgressText(code, "host"), text) << code;
    ProgressTexts[2] = u"Verbinden mit";
    EXPECT_EQ(ProgressText(2, "127.0.0.1"), "Verbinden mit 127.0.0.1"); // the loaded language
}

class OnDownloadProgressTest : public testing::Test {
protected:
    void SetUp() override {
        gauge.log = &log;
        label.log = &log;
        state.CurrentGauge = &gauge;
        state.CurrentStatusLabel = &label;
        state.RomDownloadSize = 1000;
        state.FlashDownloadSize = 300;
    }
    bool Report(std::uint32_t progress, std::uint32_t max, const std::string& text,
                std::uint32_t code) {
        bool cancel = false;
        OnDownloadProgress(&state, progress, max, cancel, text, code);
        return cancel;
    }
    MainState state;
    RecordingGauge gauge;
    RecordingLabel label;
    std::vector<std::string> log;
};

TEST_F(OnDownloadProgressTest, DrivesLabelAndGaugeByCodeAndPhase) {
    struct Case {
        int phase;
        std::uint32_t progress, max;
        std::string text;
        std::uint32_t code;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {0, 0, 0, "", 0, {}},
        {0, 0, 0, "", 34, {}},
        {0, 0, 0, "Connecting to 127.0.0.1", 2, {"caption Connecting to 127.0.0.1"}},
        {0, 0, 500, "Start to download u", 4, {"caption Start to download u", "max 500"}},
        {1, 0, 500, "", 4, {"max 1300"}},
        {2, 0, 300, "", 4, {"max 1300"}},
        {0, 40, 500, "Downloading", 5, {"caption Downloading", "position 40"}},
        {1, 40, 500, "", 5, {"position 40"}},
        {2, 40, 300, "", 5, {"position 1040"}},
        {0, 40, 500, "", 6, {}},
        {0, 0, 0, "\xE6\xAD\xA3\xE5\x9C\xA8", 1, {"caption \xE6\xAD\xA3\xE5\x9C\xA8"}},
    };
    for (const auto& c : cases) {
        log.clear();
        state.DownloadPhase = c.phase;
        EXPECT_FALSE(Report(c.progress, c.max, c.text, c.code));
        EXPECT_EQ(log, c.log) << "phase " << c.phase << " code " << c.code;
    }
}

TEST_F(OnDownloadProgressTest, CloseRequestCancelsAndMissingControlsAreSkipped) {
    state.CloseRequested = true;
    EXPECT_TRUE(Report(0, 0, "", 0));
    state.CurrentGauge = nullptr;
    state.CurrentStatusLabel = nullptr;
    EXPECT_TRUE(Report(10, 100, "Start", 4));
    EXPECT_TRUE(log.empty());
}

using TCallbackTest = ProgressTextsDefault;

TEST_F(TCallbackTest, ReportsThroughTheHandlerPumpsAndAbortsOnCancel) {
    struct Seen {
        std::uint32_t progress, max, code;
        std::string text;
        void* context;
    };
    static std::vector<Seen> seen;
    static bool cancelNext;
    seen.clear();
    cancelNext = false;
    const auto handler = [](void* context, std::uint32_t progress, std::uint32_t max, bool& cancel,
                            const std::string& text, std::uint32_t code) {
        EXPECT_FALSE(cancel);
        seen.push_back({progress, max, code, text, context});
        cancel = cancelNext;
    };
    TestPump pump;
    int context = 0;
    TCallback callback(handler, &context, &pump);
    EXPECT_EQ(callback.LastStatus(), 0u);
    EXPECT_TRUE(callback.OnProgress(0, 0, 2, "h"));
    EXPECT_TRUE(callback.OnProgress(5ull << 32, 7, 5, "ignored"));
    cancelNext = true;
    EXPECT_FALSE(callback.OnProgress(9, 9, 6, "u"));
    EXPECT_EQ(callback.LastStatus(), 6u);
    EXPECT_EQ(pump.count, 3);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].text, "Connecting to h");
    EXPECT_EQ(seen[0].context, &context);
    EXPECT_EQ(seen[1].text, "Downloading files from internet...");
    EXPECT_EQ(seen[1].progress, 0xFFFFFFFFu); // counts beyond 32 bits saturate
    EXPECT_EQ(seen[2].text, "Complete downloading u");

    TCallback quiet(nullptr, nullptr, &pump);
    EXPECT_TRUE(quiet.OnProgress(1, 1, 4, "u"));
    EXPECT_EQ(quiet.LastStatus(), 4u);
    EXPECT_EQ(pump.count, 3); // no handler, no pump
}

TEST(IsPlainFileName, AcceptsOnlyPlainNames) {
    const std::pair<std::string, bool> cases[] = {
        {"a.rom", true},
        {"FW 1.2 (new).fls", true},
        {std::string(255, 'n'), true},
        {"", false},
        {".", false},
        {"..", false},
        {"a/b", false},
        {"a\\b", false},
        {"a\x01"
         "b",
         false},
        {"a\x7F", false},
        {std::string(256, 'n'), false},
        {"...", true},
    };
    for (const auto& [name, plain] : cases)
        EXPECT_EQ(IsPlainFileName(name), plain) << name;
}

} // namespace
