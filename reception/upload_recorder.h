#pragma once
// The upload channel offered to the ScanTool while the Internet Upgrade page is shown: a start
// request every three seconds, numbered blocks acknowledged and collected, and on the end frame
// the collected data written to the upload file.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

struct MainState;

// Where uploads go for the executable at `exePath`: its path with the extension replaced by
// ".dat" (or ".dat" added when it has none), "" when the path is unknown; for an installed program
// (platform/paths.h) quillon.dat in the user's data folder, $XDG_DATA_HOME/quillon/.
std::string UploadFilePathFor(const std::string& exePath);
// The same for the running executable.
std::string UploadFilePath();

class UploadRecorder {
public:
    explicit UploadRecorder(MainState& state);

    // Where uploads are written (default: UploadFilePath()).
    void SetOutputPath(std::string path) { outputPath_ = std::move(path); }
    const std::string& OutputPath() const { return outputPath_; }
    // The calendar-second clock (default: platform::CalendarSeconds).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    // Where frames are read from and sent to (default: the window's serial port, state.Uart).
    using ReadFn = std::function<int(std::uint8_t* buffer, int maxLength)>;
    using SendFn = std::function<int(const std::uint8_t* data, int length)>;
    void SetLink(ReadFn read, SendFn send) {
        read_ = std::move(read);
        send_ = std::move(send);
    }

    // One tick of the main window's UartReadDebugTimer.
    void UartReadDebugTimerTimer();

    // errno of the last failed save, 0 after a successful one.  A failed save leaves the
    // previous file in place, keeps the received blocks and leaves the end frame unanswered, so
    // that the ScanTool sends it again and the save is tried again.
    int LastSaveError() const { return lastSaveError_; }
    // Called with the errno when the save of an upload fails, once per upload however often its
    // end frame comes again, so that the window can tell the user.  It runs inside the tick: a
    // handler that shows a modal box should defer it until the tick is done.
    void SetSaveFailedHandler(std::function<void(int error)> handler) {
        onSaveFailed_ = std::move(handler);
    }

private:
    void SendUploadStart();
    void SendUploadBlockAck(std::uint8_t status);
    void SendUploadEndAck();
    void Send(const std::uint8_t* frame, int length);
    void Dispatch(int length);
    void DropKeptUpload();
    int MakeOutputFolder() const;
    std::uint64_t Elapsed(std::time_t now) const;

    static constexpr int kBufferSize = 2048;

    MainState& state_;
    std::string outputPath_;
    std::function<std::time_t()> clock_;
    std::uint8_t buffer_[kBufferSize] = {};
    std::int32_t held_ = 0;
    std::uint16_t lastRequest_ = 0;
    std::time_t startTime_ = 0;
    bool answerInTime_ = false;
    int lastSaveError_ = 0;
    bool saveFailed_ = false; // the blocks held are an upload whose save failed
    std::function<void(int error)> onSaveFailed_;
    ReadFn read_;
    SendFn send_;
};
