#pragma once
// What the language loader needs from the main window: the window's labels, addressed by their
// control names ("Label_Status", "Label_Print", ...).  The main window implements it with its
// widgets; tests record the calls.
#include <string>

class ILanguageView {
public:
    virtual ~ILanguageView() = default;
    virtual void SetCaption(const std::string& control, const std::u16string& text) = 0;
    // `face` is a UTF-8 face name as the layout names it ("宋体", "微软雅黑"); the window maps it
    // to an installed face with ResolveFontFace (i18n/fonts.h).
    virtual void SetFontFace(const std::string& control, const std::string& face) = 0;
    virtual void SetFontPointSize(const std::string& control, int points) = 0;
    virtual void SetFontColor(const std::string& control, int red, int green, int blue) = 0;
    // Positions are those of the control's current parent, like the layout's numbers.
    virtual void MoveTo(const std::string& control, int top, int left) = 0;
};
