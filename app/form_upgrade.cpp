// The window's side of the firmware upgrade: the connectivity indicator's controls and timers,
// the Local Upgrade page, and the captions on the check button and the third tab.
#include "app/form_language_view.h"
#include "app/form_look.h"
#include "app/form_main.h"
#include "app/local_upgrade_page.h"
#include "app/qt_ports.h"
#include "i18n/language_loader.h"
#include "upgrade/internet_indicator.h"
#include "upgrade/upgrade_window.h"

#include <QLabel>

namespace {

// The check button's caption keeps clear of the symbol at its left end.
constexpr int kCheckButtonTextLeft = 49;
constexpr int kCheckButtonTextRight = 195;
// The indicator plate's rounded ends.
constexpr int kPlateMargin = 10;
// The third tab's symbol takes its left part; the caption centres over the rest.
constexpr int kTabTextLeft = 84;
constexpr int kTabTextRight = 296;

QRect Between(const QRect& plate, int left, int right) {
    return QRect(plate.left() + left, plate.top(), right - left + 1, plate.height());
}

class FormUpgradeWindow final : public IUpgradeWindow {
public:
    explicit FormUpgradeWindow(TFormMain& form) : form_(form) {}
    void SetUpgradeBusy(int mode) override { form_.SetUpgradeBusy(mode); }
    void CheckConnection() override { form_.CheckConnection(); }
    void SetStatusText(const std::u16string& text) override {
        form_.Control<QLabel>("Label_Status")->setText(ToQString(text));
    }
    void SetUartPrintReadTimerEnabled(bool enabled) override {
        SetTimerEnabled(form_.UartPrintReadTimer, enabled);
    }
    void SetUartReadDebugTimerEnabled(bool enabled) override {
        SetTimerEnabled(form_.UartReadDebugTimer, enabled);
    }
    void UseRowProgress(int row) override { form_.ChooseProgressPair(row); }

private:
    TFormMain& form_;
};

class FormIndicatorView final : public IInternetIndicatorView {
public:
    explicit FormIndicatorView(TFormMain& form) : form_(form) {}
    void DrawStatusPlate(const std::string& image) override {
        form_.DrawSkinImage(form_.Control<QLabel>("img_internet_status_text"), image);
    }
    void DrawStatusIcon(const std::string& image) override {
        form_.DrawSkinImage(form_.Control<QLabel>("img_internet_status_icon"), image);
    }
    void ShowStateCaption(const std::u16string& text, bool connected) override {
        auto* label = form_.Control<QLabel>("Label_InternetConnected");
        label->setText(ToQString(text));
        // The language's anchor first; then the caption is kept on its plate.
        FormLanguageView view(&form_, [](const QWidget*) { return 0; });
        PlaceInternetStateLabel(view, form_.State().LanguageNumber, connected);
        const QRect plate = form_.Control("img_internet_status_text")->geometry();
        FitCaptionOnPlate(label, plate, plate.adjusted(kPlateMargin, 0, -kPlateMargin, 0));
    }
    void SetCheckInterval(int milliseconds) override {
        form_.TimerCheckInternet->setInterval(milliseconds);
    }
    void SetAnimatorEnabled(bool enabled) override {
        SetTimerEnabled(form_.TimerAnimator, enabled);
    }

private:
    TFormMain& form_;
};

} // namespace

void TFormMain::CreateUpgradeParts(int dy) {
    upgradeWindow_ = std::make_unique<FormUpgradeWindow>(*this);
    indicatorView_ = std::make_unique<FormIndicatorView>(*this);
    indicator_ = std::make_unique<InternetIndicator>(state_, *indicatorView_);

    auto* sheet = new QWidget(this);
    sheet->setObjectName(QStringLiteral("TabSheet_LocalUpgrade"));
    sheet->setGeometry(0, dy, 960, 496);
    localUpgradePage_ = std::make_unique<LocalUpgradePage>(sheet, state_, *upgradeWindow_);
    sheet->hide();
    tabPageControls_[kPageLocalUpgrade] = {sheet};
}

void TFormMain::FitButtonCaptions() {
    const QRect check = Control("Button_InternetUpdate")->geometry();
    FitCaptionOnPlate(Control<QLabel>("Label_CheckUpdate"), check,
                      Between(check, kCheckButtonTextLeft, kCheckButtonTextRight));
    const QRect tab = Control("TabImgBtn2")->geometry();
    FitCaptionOnPlate(Control<QLabel>("Label_DtcLookup"), tab,
                      Between(tab, kTabTextLeft, kTabTextRight));
}

void TFormMain::ShowInternetState(bool connected) {
    indicator_->ShowInternetState(connected);
}

void TFormMain::TimerCheckInternetTimer() {
    indicator_->TimerCheckInternetTimer();
}

void TFormMain::TimerAnimatorTimer() {
    indicator_->AnimateInternetIcon();
}
