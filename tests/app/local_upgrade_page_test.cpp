// The Local Upgrade page in the window against the simulated ScanTool: picking and burning a
// file, the busy state the user sees meanwhile, the bad inputs, Set ID through the real input
// box, and a ScanTool pulled in the middle of a burn.
#include "app/form_main.h"
#include "app/local_upgrade_page.h"
#include "tests/app/form_test_support.h"
#include "tests/support/sim_harness.h"
#include "upgrade/ui/input_string.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace formtest;
using quillon::test::SimHarness;
namespace fs = std::filesystem;

class LocalUpgradePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start()) << sim_.Error();
        env_ = std::make_unique<quillon::test::ScopedSimEnvironment>(sim_);
        form_ = std::make_unique<TFormMain>(TestFormOptions(scratch_, &messages_));
        form_->show();
        form_->SwitchTabImgBtn(TFormMain::kPageLocalUpgrade);
        page_ = &form_->LocalUpgrade();
        page_->SetFileChooser([this](QWidget*, const QString& filter) {
            filters_ << filter;
            return chosen_;
        });
    }

    std::string MakeFile(const std::string& name, std::size_t size) {
        data_.resize(size);
        for (std::size_t i = 0; i < size; ++i)
            data_[i] = static_cast<std::uint8_t>(i * 31 % 241);
        const std::string path = (scratch_.Path() / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data_.data()), static_cast<std::streamsize>(size));
        return path;
    }

    QWidget* Control(const std::string& name) { return form_->Control(name.c_str()); }
    QPushButton* Button(const std::string& name) {
        return form_->Control<QPushButton>(name.c_str());
    }

    // What the user sees of a row: path edit or gauge and status, and which buttons work.
    std::string RowLook(int row) {
        const std::string n = std::to_string(row);
        std::string look = Shown(Control("Edit_UpgradePath" + n)) ? "edit" : "";
        if (Shown(Control("ProgressBar" + n)) && Shown(Control("Label_UpdateStatus" + n)))
            look += "gauge";
        look += Button("Button_LocalUpgrade" + n)->isEnabled() ? " enabled" : " disabled";
        return look;
    }

    ScratchDir scratch_;
    SimHarness sim_;
    std::unique_ptr<quillon::test::ScopedSimEnvironment> env_;
    RecordingMessageBox messages_;
    std::unique_ptr<TFormMain> form_;
    LocalUpgradePage* page_ = nullptr;
    QStringList filters_;
    QString chosen_;
    std::vector<std::uint8_t> data_;
};

TEST_F(LocalUpgradePageTest, PickAndBurnEachRowWhileTheRowShowsItsProgress) {
    struct Row {
        int row;
        const char* file;
        QString filter;
    };
    for (const Row& r : {Row{1, "new.rom", "ROM files (*.rom);;All files (*)"},
                         Row{2, "new.fls", "FLASH files (*.fls);;All files (*)"},
                         Row{3, "logo.fls", "FLASH files (*.fls);;All files (*)"}}) {
        SCOPED_TRACE(r.row);
        const std::string n = std::to_string(r.row);
        chosen_ = QString::fromStdString(MakeFile(r.file, 1400 + 100 * r.row));
        QTest::mouseClick(Button("Button_UpgradeSelect" + n), Qt::LeftButton);
        EXPECT_EQ(filters_.back(), r.filter);
        EXPECT_EQ(form_->Control<QLineEdit>(("Edit_UpgradePath" + n).c_str())->text(), chosen_);

        std::string lookDuring;
        int gaugeMax = 0;
        messages_.onShow = [&](const std::u16string&) {
            lookDuring = RowLook(r.row);
            gaugeMax = form_->State().CurrentGauge->Max();
        };
        QTest::mouseClick(Button("Button_LocalUpgrade" + n), Qt::LeftButton);
        EXPECT_EQ(messages_.shown.back(), u"Upgrade finished!");
        EXPECT_EQ(lookDuring, "gauge disabled");
        EXPECT_EQ(gaugeMax, (1400 + 100 * r.row) / 512 + 1);
        EXPECT_EQ(form_->State().BusyMode, 0u);
        EXPECT_EQ(RowLook(r.row), "edit enabled");
        EXPECT_EQ(sim_.Image(r.row), data_);
    }
    // A cancelled dialog leaves the path as it was.
    chosen_.clear();
    QTest::mouseClick(Button("Button_UpgradeSelect1"), Qt::LeftButton);
    EXPECT_FALSE(form_->Control<QLineEdit>("Edit_UpgradePath1")->text().isEmpty());
}

TEST_F(LocalUpgradePageTest, AFileThatVanishedAfterChoosingChangesNothing) {
    chosen_ = QString::fromStdString(MakeFile("gone.rom", 600));
    QTest::mouseClick(Button("Button_UpgradeSelect1"), Qt::LeftButton);
    fs::remove(chosen_.toStdString());
    std::string lookDuring;
    messages_.onShow = [&](const std::u16string&) { lookDuring = RowLook(1); };
    QTest::mouseClick(Button("Button_LocalUpgrade1"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Invalid input file!"});
    EXPECT_EQ(lookDuring, "edit enabled");
    ASSERT_TRUE(sim_.Ok("sync"));
    EXPECT_EQ(sim_.RequestCount(0x0103), 0);
}

TEST_F(LocalUpgradePageTest, SetIdThroughTheInputBoxRefusesBadIdsAndCountsUp) {
    // Each answer is typed into the real input box and confirmed with Enter.
    const char* answers[] = {"12345678901", "12345678901a", "000000000199", "000000000200"};
    std::vector<QString> proposals;
    for (const char* answer : answers) {
        QTimer::singleShot(0, [&proposals, answer] {
            auto* box = qobject_cast<TInputStringDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            proposals.push_back(box->Edit()->text());
            box->Edit()->clear();
            QTest::keyClicks(box->Edit(), answer);
            QTest::keyClick(box->Edit(), Qt::Key_Return);
        });
        QTest::mouseClick(Button("Button_SetID"), Qt::LeftButton);
    }
    EXPECT_EQ(messages_.shown, (std::vector<std::u16string>{u"Invalid ID!", u"Invalid ID!",
                                                            u"Device ID is successfully set!",
                                                            u"Device ID is successfully set!"}));
    EXPECT_EQ(proposals, (std::vector<QString>{"", "12345678901", "12345678901a", "000000000200"}));
    EXPECT_EQ(page_->Tools().LastId(), u"000000000201");
    const std::string status = sim_.Command("status");
    EXPECT_EQ(status.substr(status.find("device_id=") + 10), "000000000200");

    // Query Version and Query ID answer under their own captions and give their button back.
    QTest::mouseClick(Button("Button_QueryVersion"), Qt::LeftButton);
    EXPECT_EQ(messages_.captions.back(), u"info");
    EXPECT_EQ(messages_.shown.back(), u"KV100-STD  ROM_ver:1.0.0 FLASH_ver:1.0.0");
    EXPECT_TRUE(Button("Button_QueryVersion")->isEnabled());
    QTest::mouseClick(Button("Button_QueryID"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown.back(), u"ID: 000000000200");
    EXPECT_TRUE(Button("Button_QueryID")->isEnabled());
    EXPECT_FALSE(Shown(Button("Button3")));
}

TEST_F(LocalUpgradePageTest, AScanToolPulledMidBurnFailsTheRowAndIsFoundWhenPluggedBack) {
    chosen_ = QString::fromStdString(MakeFile("pulled.rom", 512 * 8));
    QTest::mouseClick(Button("Button_UpgradeSelect1"), Qt::LeftButton);
    ASSERT_TRUE(sim_.Ok("fault unplug cmd=0x0403 block=3"));
    QTest::mouseClick(Button("Button_LocalUpgrade1"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Burn ROM fail!"});
    // Idle again; the connection monitor found no ScanTool, so the rows wait for one.
    EXPECT_EQ(form_->State().BusyMode, 0u);
    EXPECT_EQ(form_->State().CurrentComPort, 0);
    EXPECT_EQ(RowLook(1), "edit disabled");
    EXPECT_EQ(Text(form_->Control("Label_Status")), "Please connect the device to the computer");

    // Plugged back: the device-change notification finds and opens it again.
    ASSERT_TRUE(sim_.Plug());
    form_->DeviceChanged();
    EXPECT_EQ(form_->State().CurrentComPort, 1);
    EXPECT_EQ(RowLook(1), "edit enabled");
    QTest::mouseClick(Button("Button_LocalUpgrade1"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown.back(), u"Upgrade finished!");
    EXPECT_EQ(sim_.Image(1), data_);
}

} // namespace
