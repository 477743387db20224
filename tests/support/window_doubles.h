#pragma once
// Recording stand-ins for the window's gauge, status label, event pump and message box.  Give
// the gauge and the label one shared `log` to see their calls in the order they came.
#include "core/ports.h"

#include <functional>
#include <string>
#include <vector>

#include "platform/text_codec.h"

struct RecordingGauge : IGauge {
    void SetMax(int max) override {
        max_ = max;
        if (log)
            log->push_back("max " + std::to_string(max));
    }
    void SetPosition(int position) override {
        position_ = position;
        positions.push_back(position);
        if (log)
            log->push_back("position " + std::to_string(position));
    }
    int Max() const override { return max_; }
    int Position() const override { return position_; }
    std::vector<int> positions;
    int max_ = 0;
    int position_ = 0;
    std::vector<std::string>* log = nullptr;
};

struct RecordingLabel : IStatusLabel {
    void SetCaption(const std::u16string& text) override {
        captions.push_back(text);
        if (log)
            log->push_back("caption " + platform::Utf16ToUtf8(text));
    }
    std::u16string Caption() const override { return captions.empty() ? u"" : captions.back(); }
    std::vector<std::u16string> captions;
    std::vector<std::string>* log = nullptr;
};

// Counts pumps and runs an optional action on each (a close request arriving meanwhile).
struct TestPump : IMessagePump {
    void PumpMessages() override {
        ++count;
        if (onPump)
            onPump(count);
    }
    int count = 0;
    std::function<void(int)> onPump;
};

// Every message shown; `captions` holds those of the messages with a caption of their own.
// `onShow` runs while the message is "on screen" (the window state at that moment is what the
// user sees behind the box).
struct RecordingMessages : IMessageBox {
    void ShowTextMessage(const std::u16string& text) override {
        shown.push_back(text);
        if (onShow)
            onShow(text);
    }
    void ShowCaptionedMessage(const std::u16string& caption, const std::u16string& text) override {
        captions.push_back(caption);
        ShowTextMessage(text);
    }
    std::vector<std::u16string> shown;
    std::vector<std::u16string> captions;
    std::function<void(const std::u16string&)> onShow;
};
