#pragma once
// The main window's labels as the language loader addresses them: by control name.
#include "i18n/language_view.h"

#include <QWidget>

#include <functional>

class FormLanguageView final : public ILanguageView {
public:
    // `pageOffset` tells, for a control, how far its page's origin lies below the form's top
    // (0 for controls of the form itself); the loader's numbers are page coordinates while the
    // pages' controls have not yet been counted as the form's.
    FormLanguageView(QWidget* form, std::function<int(const QWidget*)> pageOffset)
        : form_(form), pageOffset_(std::move(pageOffset)) {}

    void SetCaption(const std::string& control, const std::u16string& text) override;
    void SetFontFace(const std::string& control, const std::string& face) override;
    void SetFontPointSize(const std::string& control, int points) override;
    void SetFontColor(const std::string& control, int red, int green, int blue) override;
    void MoveTo(const std::string& control, int top, int left) override;

private:
    QWidget* Find(const std::string& control) const;

    QWidget* form_;
    std::function<int(const QWidget*)> pageOffset_;
};
