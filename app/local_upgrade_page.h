#pragma once
// The Local Upgrade page: three rows that burn an image file chosen from disk (ROM, FLASH,
// LOGO), the maintenance buttons Query Version, Query ID and Set ID, and the hidden test hook
// Button3.  The page builds its controls under their layout names and hands each click to the
// window-free workflows in upgrade/.
#include "upgrade/device_tools.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QLineEdit;
class QPushButton;
class QWidget;
struct MainState;
class IUpgradeWindow;

class LocalUpgradePage final : public QObject {
    Q_OBJECT
public:
    // Asks the user for a file with a filter in Qt's form; empty when nothing was chosen.
    using FileChooser = std::function<QString(QWidget* parent, const QString& filter)>;

    // Builds the page's controls on `sheet`, whose (0, 0) is the page's origin.
    LocalUpgradePage(QWidget* sheet, MainState& state, IUpgradeWindow& window);
    ~LocalUpgradePage() override;

    DeviceTools& Tools() { return *tools_; }
    // A maintenance tool is talking to the ScanTool (pages must not change meanwhile).
    bool ToolRunning() const { return toolRunning_; }

    // Test seam: the file dialog.
    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    void Button_UpgradeSelectClick(int row);
    void Button_LocalUpgradeClick(int row);
    void Button_QueryVersionClick();
    void Button_QueryIDClick();
    void Button_SetIDClick();
    void Button3Click();

private:
    void CreateControls();
    QLineEdit* PathEdit(int row) const;
    QPushButton* Button(const char* name) const;
    // Runs one maintenance tool with the page-switch guard raised; `button`, when given, stays
    // disabled meanwhile.
    void RunTool(const std::function<void()>& tool, const char* button = nullptr);

    QWidget* sheet_;
    MainState& state_;
    IUpgradeWindow& window_;
    std::unique_ptr<IInputBox> ownInput_;
    std::unique_ptr<DeviceTools> tools_;
    FileChooser chooseFile_;
    bool toolRunning_ = false;
};
