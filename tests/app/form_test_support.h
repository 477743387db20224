#pragma once
// What the main window's test suites share: a scratch folder with an empty device tree, and a
// message box that records instead of showing.
#include "app/form_main.h"
#include "core/ports.h"
#include "graphics/bitmap_factory.h"
#include "graphics/ui/qt_bitmap.h"
#include "graphics/ui/qt_image_control.h"
#include "tests/support/window_doubles.h"

#include <QLabel>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace formtest {

class ScratchDir {
public:
    ScratchDir() {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "quillon-app-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        fs::create_directories(path_ / "dev");
        fs::create_directories(path_ / "sys" / "class" / "tty");
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path Path() const { return path_; }

private:
    std::filesystem::path path_;
};

using RecordingMessageBox = ::RecordingMessages;

// Options for a window under test: lang.ini and the upload file in `scratch`, messages recorded
// by `messages` (when given), no watch on the system's devices.
inline FormMainOptions TestFormOptions(const ScratchDir& scratch, IMessageBox* messages = nullptr,
                                       const std::string& langIni = "lang.ini") {
    FormMainOptions options;
    options.LangIniPath = (scratch.Path() / langIni).string();
    options.MessageBox = messages;
    options.WatchDevices = false;
    options.UploadPath = (scratch.Path() / "upload.dat").string();
    return options;
}

inline std::string Text(const QWidget* control) {
    return qobject_cast<const QLabel*>(control)->text().toStdString();
}

inline bool Shown(const QWidget* control) {
    return !control->isHidden();
}

// The picture of an image control, compared by colour with the named skin image.
inline bool ShowsImage(TFormMain& form, const char* control, const char* name) {
    Bitmap* image = form.Factory().LoadBitmapA(name, true);
    const QImage expected = ToQImage(image).convertToFormat(QImage::Format_RGB32);
    form.Factory().FreeBitmap(image);
    const ::Bitmap* picture = QtImageControl::Of(form.Control<QLabel>(control))->Picture();
    return !expected.isNull() && picture &&
           ToQImage(picture).convertToFormat(QImage::Format_RGB32) == expected;
}

} // namespace formtest
