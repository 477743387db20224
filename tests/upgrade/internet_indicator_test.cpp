#include "upgrade/internet_indicator.h"

#include "core/main_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RecordingIndicatorView final : IInternetIndicatorView {
    void DrawStatusPlate(const std::string& image) override { calls.push_back("plate " + image); }
    void DrawStatusIcon(const std::string& image) override { calls.push_back("icon " + image); }
    void ShowStateCaption(const std::u16string& text, bool connected) override {
        caption = text;
        calls.push_back(connected ? "caption connected" : "caption disconnected");
    }
    void SetCheckInterval(int milliseconds) override {
        interval = milliseconds;
        calls.push_back("interval " + std::to_string(milliseconds));
    }
    void SetAnimatorEnabled(bool enabled) override {
        animator = enabled;
        calls.push_back(enabled ? "animator on" : "animator off");
    }
    std::vector<std::string> calls;
    std::u16string caption;
    int interval = 1000;
    bool animator = false;
};

class InternetIndicatorTest : public ::testing::Test {
protected:
    InternetIndicatorTest() { state.Texts = EnglishStringTable(); }
    MainState state;
    RecordingIndicatorView view;
    bool online = false;
    int queries = 0;
    InternetIndicator indicator{state, view, [this] {
                                    ++queries;
                                    return online;
                                }};
};

TEST_F(InternetIndicatorTest, ShowsEachStateWithItsImagesTextAndTimers) {
    // The state forced at start-up keeps the creation interval: the first real check comes soon.
    indicator.ShowInternetState(false);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"plate png:internet_connected_text0",
                                                    "icon png:internet_connected_icon0",
                                                    "animator off", "caption disconnected"}));
    EXPECT_EQ(view.interval, 1000);
    // The first check that finds the PC offline settles the offline interval.
    view.calls.clear();
    indicator.TimerCheckInternetTimer();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"interval 5000"}));
    EXPECT_EQ(view.caption, u"Internet Disconnected");
    EXPECT_FALSE(state.InternetConnected);
    EXPECT_TRUE(indicator.StateShown());

    // Online while the Internet Upgrade page is current: the animation starts.
    view.calls.clear();
    indicator.ShowInternetState(true);
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"plate png:internet_connected_text2",
                                        "icon png:internet_connected_icon2", "interval 15000",
                                        "animator on", "caption connected"}));
    EXPECT_EQ(view.caption, u"Internet Connected");
    EXPECT_TRUE(state.InternetConnected);

    // Going offline on another page; coming back online there leaves the animation off.
    state.CurrentTab = 1;
    indicator.ShowInternetState(false);
    EXPECT_FALSE(view.animator);
    indicator.ShowInternetState(true);
    EXPECT_FALSE(view.animator);
    EXPECT_EQ(view.interval, 15000);
}

TEST_F(InternetIndicatorTest, AnUnchangedStateRedrawsNothing) {
    indicator.ShowInternetState(true);
    view.calls.clear();
    indicator.ShowInternetState(true);
    EXPECT_TRUE(view.calls.empty());
    // Before anything was shown, even the flag's own value counts as a change.
    MainState fresh;
    RecordingIndicatorView freshView;
    InternetIndicator first(fresh, freshView, [] { return false; });
    first.ShowInternetState(false);
    EXPECT_FALSE(freshView.calls.empty());
}

TEST_F(InternetIndicatorTest, CheckShowsTheAnswerOnlyWhileIdle) {
    indicator.ShowInternetState(false);
    online = true;
    // During an upgrade the check does not even ask, whatever the network does.
    state.BusyMode = 10;
    indicator.TimerCheckInternetTimer();
    EXPECT_EQ(queries, 0);
    EXPECT_FALSE(state.InternetConnected);
    state.BusyMode = 0;
    indicator.TimerCheckInternetTimer();
    EXPECT_EQ(queries, 1);
    EXPECT_TRUE(state.InternetConnected);
    EXPECT_EQ(view.interval, 15000);
    // The network drops: noticed at the next check, animation off, icon red.
    online = false;
    view.calls.clear();
    indicator.TimerCheckInternetTimer();
    EXPECT_FALSE(state.InternetConnected);
    EXPECT_FALSE(view.animator);
    EXPECT_EQ(view.calls.at(1), "icon png:internet_connected_icon0");
}

TEST_F(InternetIndicatorTest, IconAlternatesFromTheSecondFrameAndKeepsItsPhase) {
    indicator.ShowInternetState(true);
    view.calls.clear();
    for (int i = 0; i < 3; ++i)
        indicator.AnimateInternetIcon();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"icon png:internet_connected_icon3",
                                                    "icon png:internet_connected_icon2",
                                                    "icon png:internet_connected_icon3"}));
    // A state change in between does not restart the alternation.
    indicator.ShowInternetState(false);
    indicator.ShowInternetState(true);
    view.calls.clear();
    indicator.AnimateInternetIcon();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"icon png:internet_connected_icon2"}));
}

} // namespace
