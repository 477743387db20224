#pragma once
// The few things the window-free subsystems need from the window.  The main window implements
// them with Qt; tests implement them with small doubles.
#include <string>

// Runs the window's pending events so that the window stays alive during a long operation.
class IMessagePump {
public:
    virtual ~IMessagePump() = default;
    virtual void PumpMessages() = 0;
};

// A gauge and a status text, such as the upgrade page's progress bar and status label.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    virtual void SetStatusText(const std::u16string& text) = 0;
    virtual void SetGaugeMax(int max) = 0;
    virtual void SetGaugePosition(int position) = 0;
};

// A modal message box with one text and an OK button.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void ShowTextMessage(const std::u16string& text) = 0;
};
