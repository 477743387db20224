// The pages' actions and periodic work.  The window only routes them: each belongs to the
// subsystem of its page, and an empty handler here is the place where that subsystem plugs in.
#include "app/controls.h"
#include "app/form_main.h"
#include "app/print_page.h"
#include "reception/upload_recorder.h"
#include "upgrade/internet_upgrade.h"

void TFormMain::ConnectPageHandlers() {
    // Upgrade page: the check button and its caption start the internet upgrade.
    connect(Control<TClickLabel>("Button_InternetUpdate"), &TClickLabel::clicked, this,
            &TFormMain::Button_InternetUpdateClick);
    connect(Control<TClickLabel>("Label_CheckUpdate"), &TClickLabel::clicked, this,
            &TFormMain::Button_InternetUpdateClick);
    // Print page: each image button and its caption do the same.
    struct Action {
        const char* image;
        const char* label;
        void (TFormMain::*handler)();
    };
    for (const Action& action :
         {Action{"imgbtn_print", "Label_PrintPrint", &TFormMain::Button_PrintClick},
          Action{"imgbtn_clear", "Label_Clear", &TFormMain::Button_ClearClick},
          Action{"imgbtn_copy", "Label_Copy", &TFormMain::Button_CopyClick},
          Action{"imgbtn_edit", "Label_Edit", &TFormMain::Button_EditClick}}) {
        connect(Control<TClickLabel>(action.image), &TClickLabel::clicked, this, action.handler);
        connect(Control<TClickLabel>(action.label), &TClickLabel::clicked, this, action.handler);
    }
}

// The internet upgrade workflow.
void TFormMain::Button_InternetUpdateClick() {
    InternetUpgrade(state_, *upgradeWindow_);
}

// The print page's actions.
void TFormMain::Button_PrintClick() {
    printPage_->Button_PrintClick();
}
void TFormMain::Button_ClearClick() {
    printPage_->Button_ClearClick();
}
void TFormMain::Button_CopyClick() {
    printPage_->Button_CopyClick();
}
void TFormMain::Button_EditClick() {
    printPage_->Button_EditClick();
}

// The print page's 15 ms poll of the stream.
void TFormMain::UartPrintReadTimerTimer() {
    printPage_->UartPrintReadTimerTimer();
}

// The waveform capture's watchdog.
void TFormMain::TimerMonitorWaveRecvTimer() {
    printPage_->TimerMonitorWaveRecvTimer();
}

// The upload recorder, while the upgrade page is current and the port open.
void TFormMain::UartReadDebugTimerTimer() {
    uploadRecorder_->UartReadDebugTimerTimer();
}
