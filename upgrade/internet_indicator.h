#pragma once
// The connectivity indicator of the Internet Upgrade page: a coloured plate with the state's
// text, an icon beside it that alternates between two frames while online, and the
// InternetConnected flag that the internet upgrade checks before it starts.
#include "platform/internet_state.h"

#include <functional>
#include <string>

struct MainState;

// What the indicator changes in the window.
class IInternetIndicatorView {
public:
    virtual ~IInternetIndicatorView() = default;
    // Draws the named image over the whole plate (img_internet_status_text) or icon
    // (img_internet_status_icon) and repaints it.
    virtual void DrawStatusPlate(const std::string& image) = 0;
    virtual void DrawStatusIcon(const std::string& image) = 0;
    // Sets the plate's caption (Label_InternetConnected) and places it for the state it shows.
    virtual void ShowStateCaption(const std::u16string& text, bool connected) = 0;
    // TimerCheckInternet's interval; setting it restarts a running timer's count.
    virtual void SetCheckInterval(int milliseconds) = 0;
    // TimerAnimator.
    virtual void SetAnimatorEnabled(bool enabled) = 0;
};

inline constexpr int kCheckIntervalOffline = 5000;
inline constexpr int kCheckIntervalOnline = 15000;

class InternetIndicator {
public:
    using ConnectedQuery = std::function<bool()>;
    InternetIndicator(MainState& state, IInternetIndicatorView& view,
                      ConnectedQuery isConnected = platform::IsInternetConnected);

    // Shows a state and adjusts the timers; a state equal to the one shown changes nothing.
    void ShowInternetState(bool connected);
    // The periodic check; does nothing while an operation holds the busy state.
    void TimerCheckInternetTimer();
    // The next frame of the online icon.
    void AnimateInternetIcon();

    bool StateShown() const { return stateShown_; }

private:
    MainState& state_;
    IInternetIndicatorView& view_;
    ConnectedQuery isConnected_;
    bool stateShown_ = false;
    // The state forced at start-up is not an answer: the first real check keeps its short
    // creation interval, so that a click on Check Update soon after start sees the truth.
    bool checked_ = false;
    bool animationPhase_ = false;
};
