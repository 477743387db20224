#include "upgrade/internet_indicator.h"

#include "core/main_state.h"

#include <utility>

InternetIndicator::InternetIndicator(MainState& state, IInternetIndicatorView& view,
                                     ConnectedQuery isConnected)
    : state_(state), view_(view), isConnected_(std::move(isConnected)) {}

void InternetIndicator::ShowInternetState(bool connected) {
    if (stateShown_ && connected == state_.InternetConnected)
        return;
    view_.DrawStatusPlate(connected ? "png:internet_connected_text2"
                                    : "png:internet_connected_text0");
    view_.DrawStatusIcon(connected ? "png:internet_connected_icon2"
                                   : "png:internet_connected_icon0");
    if (connected) {
        if (checked_)
            view_.SetCheckInterval(kCheckIntervalOnline);
        view_.SetAnimatorEnabled(state_.CurrentTab == 0);
        view_.ShowStateCaption(state_.Texts.LabelInternetConnected, true);
    } else {
        if (checked_)
            view_.SetCheckInterval(kCheckIntervalOffline);
        view_.SetAnimatorEnabled(false);
        view_.ShowStateCaption(state_.Texts.LabelInternetDisconnected, false);
    }
    state_.InternetConnected = connected;
    stateShown_ = true;
}

void InternetIndicator::TimerCheckInternetTimer() {
    if (state_.BusyMode != 0)
        return;
    const bool connected = isConnected_();
    if (!checked_) {
        checked_ = true;
        // The first answer always settles the interval, even when it repeats the forced state.
        if (stateShown_ && connected == state_.InternetConnected)
            view_.SetCheckInterval(connected ? kCheckIntervalOnline : kCheckIntervalOffline);
    }
    ShowInternetState(connected);
}

void InternetIndicator::AnimateInternetIcon() {
    view_.DrawStatusIcon(animationPhase_ ? "png:internet_connected_icon2"
                                         : "png:internet_connected_icon3");
    animationPhase_ = !animationPhase_;
}
