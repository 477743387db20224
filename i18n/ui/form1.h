#pragma once
// TForm1: the skinned, borderless language dialog.  Created hidden once at start-up and shown
// modally by the main window's settings button.  Confirming another language stores it in
// lang.ini and asks for a restart; the main window does the closing and the program entry the
// restart.
#include "platform/ini_file.h"

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <array>
#include <functional>
#include <string>

class IMessageBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TBitmapFactory;
struct Bitmap;

class TForm1 : public QDialog {
public:
    // `iniPath` is lang.ini beside the executable; `messageBox` shows the failure to write it
    // (a plain message box when null).
    TForm1(TBitmapFactory& factory, const std::string& iniPath, IMessageBox* messageBox = nullptr,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // Set by a confirmed change of language; read by the program entry after the message loop.
    bool RestartRequested = false;
    // Called after the dialog has closed on a confirmed change: closes the main window.
    std::function<void()> onRestartRequested;

    int DialogLanguage() const { return dialogLanguage_; }
    QRadioButton* RadioButton(int number) const { return radioButtons_[number - 1]; }

    // Handlers under the layout's names.
    void Label_ConfirmClick();
    void Label_CancelClick();
    void form_closeClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void BuildControls();
    void SelectStoredLanguage();
    void KeepOnScreen();

    TBitmapFactory& factory_;
    IMessageBox* messageBox_;
    IniFile dialogIni_;
    int dialogLanguage_ = 2;
    Bitmap* dialogBackground_ = nullptr;
    QImage background_;
    QLabel* labelLanguageSettings_ = nullptr;
    QLabel* labelConfirm_ = nullptr;
    QLabel* labelCancel_ = nullptr;
    std::array<QRadioButton*, 12> radioButtons_{};
    bool dragging_ = false;
    QPoint dragOffset_;
};

// Where a window of this geometry goes so that it lies inside the screen area: unchanged when
// it already does.
QPoint PlaceOnScreen(const QRect& area, const QRect& window);
