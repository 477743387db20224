#pragma once
// The few things the window-free subsystems need from the window.  The main window implements
// them with Qt widgets; tests implement them with small doubles.
#include <string>

// Runs the window's pending events so that the window stays alive during a long operation.
class IMessagePump {
public:
    virtual ~IMessagePump() = default;
    virtual void PumpMessages() = 0;
};

// A progress gauge (the upgrade page's progress bars).
class IGauge {
public:
    virtual ~IGauge() = default;
    virtual void SetMax(int max) = 0;
    virtual void SetPosition(int position) = 0;
    virtual int Max() const = 0;
    virtual int Position() const = 0;
};

// A label whose caption shows the status of the operation in progress.
class IStatusLabel {
public:
    virtual ~IStatusLabel() = default;
    virtual void SetCaption(const std::u16string& text) = 0;
    virtual std::u16string Caption() const = 0;
};

// A modal message box with one text and an OK button.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void ShowTextMessage(const std::u16string& text) = 0;
    // The same under its own caption instead of the program's name.
    virtual void ShowCaptionedMessage(const std::u16string& caption, const std::u16string& text) {
        (void)caption;
        ShowTextMessage(text);
    }
};
