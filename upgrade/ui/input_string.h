#pragma once
// The input box: a small modal dialog with one single-line edit and OK and Cancel, centred on
// the screen and kept above other windows.  Set ID asks for the ScanTool's ID with it.
#include "upgrade/device_tools.h"

#include <QDialog>
#include <QLocale>
#include <QString>

class QLineEdit;
class QPushButton;

// Labels of the OK and Cancel buttons: Chinese words for the Chinese (PRC) locale, otherwise
// "OK" and "Cancel".
struct InputButtonLabels {
    QString ok;
    QString cancel;
};
InputButtonLabels InputButtonLabelsFor(const QLocale& locale);

class TInputStringDialog final : public QDialog {
    Q_OBJECT
public:
    // Buttons follow the default locale (QLocale()), which is the system's unless a test or
    // the program sets another.
    TInputStringDialog(const QString& caption, const QString& text, int maxLength,
                       QWidget* parent = nullptr);
    QString Text() const;
    QLineEdit* Edit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// Asks for a text of at most `maxLength` characters, proposing `text`.  On OK the entered text
// replaces `text` and the result is true; on Cancel (or Esc) `text` stays and the result is false.
bool InputString(QWidget* parent, const QString& caption, QString& text, int maxLength);

// The input box for the window-free tools.
class QtInputBox final : public IInputBox {
public:
    explicit QtInputBox(QWidget* parent) : parent_(parent) {}
    bool InputString(const std::u16string& caption, std::u16string& text, int maxLength) override;

private:
    QWidget* parent_;
};
