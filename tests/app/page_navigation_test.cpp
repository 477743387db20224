// The ways to the pages: the third tab and its caption, the shortcuts, the top band's menu, and
// the page switch's rules on all of them.
#include "app/form_look.h"
#include "app/form_main.h"
#include "app/local_upgrade_page.h"
#include "tests/app/form_test_support.h"
#include "tests/support/sim_harness.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace formtest;

class PageNavigationTest : public ::testing::Test {
protected:
    PageNavigationTest()
        : env_((scratch_.Path() / "dev").string(), (scratch_.Path() / "sys").string()) {
        FormMainOptions options = TestFormOptions(scratch_, &messages_);
        options.DataDir = QUILLON_SOURCE_DIR "/content/"; // the shipped manual, to be seen
        form_ = std::make_unique<TFormMain>(std::move(options));
        form_->show();
        QApplication::setActiveWindow(form_.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    void Press(QKeyCombination keys) {
        QTest::keyClick(form_.get(), keys.key(), keys.keyboardModifiers());
    }

    // Which polling timers run.
    std::string Timers() const {
        std::string on;
        for (QTimer* t : {form_->TimerCheckInternet, form_->TimerAnimator,
                          form_->UartPrintReadTimer, form_->UartReadDebugTimer})
            if (t->isActive())
                on += (on.empty() ? "" : " ") + t->objectName().toStdString();
        return on;
    }

    ScratchDir scratch_;
    quillon::test::ScopedSimEnvironment env_;
    RecordingMessageBox messages_;
    std::unique_ptr<TFormMain> form_;
};

TEST_F(PageNavigationTest, ShortcutsReachEveryPageWithItsTimersAndLooks) {
    TFormMain& form = *form_;
    form.State().InternetConnected = true;
    struct Step {
        QKeyCombination keys;
        int page;
        std::array<std::string, 3> looks;
        std::string timers;
    };
    const Step steps[] = {
        {Qt::CTRL | Qt::Key_3, 2, {"png:mbutton_1a", "png:mbutton_2a", "png:mbutton_3b"}, ""},
        {Qt::CTRL | Qt::Key_L, 4, {"png:mbutton_1a", "png:mbutton_2a", "png:mbutton_3a"}, ""},
        {QKeyCombination(Qt::Key_F1),
         3,
         {"png:mbutton_1a", "png:mbutton_2a", "png:mbutton_3a"},
         ""},
        {Qt::CTRL | Qt::Key_2,
         1,
         {"png:mbutton_1a", "png:mbutton_2b", "png:mbutton_3a"},
         "UartPrintReadTimer"},
        {Qt::CTRL | Qt::Key_L, 4, {"png:mbutton_1a", "png:mbutton_2a", "png:mbutton_3a"}, ""},
        // Back to the first tab: its timers run again.
        {Qt::CTRL | Qt::Key_1,
         0,
         {"png:mbutton_1b", "png:mbutton_2a", "png:mbutton_3a"},
         "TimerCheckInternet TimerAnimator UartReadDebugTimer"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(QKeySequence(step.keys).toString().toStdString());
        Press(step.keys);
        EXPECT_EQ(form.State().CurrentTab, step.page);
        EXPECT_EQ(form.TabLooks(), step.looks);
        EXPECT_EQ(Timers(), step.timers);
        // One control that stands for each page.
        const char* pages[] = {"PanelGauge", "RichEdit", "DTCLookupList", "TabSheet_Manual",
                               "TabSheet_LocalUpgrade"};
        for (int page = 0; page < TFormMain::kPageCount; ++page)
            EXPECT_EQ(Shown(form.Control(pages[page])), page == step.page) << pages[page];
        // A look at each page as reached, under artifacts/pages/.
        QDir().mkpath(QStringLiteral(QUILLON_BINARY_DIR "/artifacts/pages"));
        form.grab().save(
            QStringLiteral(QUILLON_BINARY_DIR "/artifacts/pages/page%1.png").arg(step.page));
    }
}

TEST_F(PageNavigationTest, ThirdTabAndItsCaptionSwitchLikeTheOthers) {
    TFormMain& form = *form_;
    QTest::mouseClick(form.Control("Label_DtcLookup"), Qt::LeftButton);
    EXPECT_EQ(form.State().CurrentTab, 2);
    EXPECT_TRUE(ShowsImage(form, "TabImgBtn2", "png:mbutton_3b"));
    EXPECT_EQ(FontColor(form.Control("Label_DtcLookup")), SystemWindowColor());
    EXPECT_EQ(FontColor(form.Control("Label_InternetUpgrade")), SystemScrollBarColor());
    EXPECT_TRUE(Shown(form.Control("DTCLookupList")));

    QTest::mouseClick(form.Control("TabImgBtn0"), Qt::LeftButton);
    EXPECT_EQ(form.State().CurrentTab, 0);
    EXPECT_EQ(FontColor(form.Control("Label_DtcLookup")), SystemScrollBarColor());
    QTest::mouseClick(form.Control("TabImgBtn2"), Qt::LeftButton);
    EXPECT_EQ(form.State().CurrentTab, 2);
}

TEST_F(PageNavigationTest, NothingSwitchesWhileBusyOrWhileAToolTalksToTheScanTool) {
    TFormMain& form = *form_;
    form.State().BusyMode = 1;
    for (QKeyCombination keys : {Qt::CTRL | Qt::Key_2, Qt::CTRL | Qt::Key_3, Qt::CTRL | Qt::Key_L,
                                 QKeyCombination(Qt::Key_F1)})
        Press(keys);
    QTest::mouseClick(form.Control("Label_DtcLookup"), Qt::LeftButton);
    EXPECT_EQ(form.State().CurrentTab, 0);
    // The menu shows its entries greyed out.
    const auto menu = form.CreatePageMenu();
    for (QAction* action : menu->actions())
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    form.State().BusyMode = 0;

    // Query Version holds the page while it waits for the (absent) ScanTool's answer.
    form.SwitchTabImgBtn(TFormMain::kPageLocalUpgrade);
    int tabDuringQuery = -1;
    messages_.onShow = [&](const std::u16string&) {
        form.SwitchTabImgBtn(1);
        tabDuringQuery = form.State().CurrentTab;
    };
    form.LocalUpgrade().Button_QueryVersionClick();
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Fail to request device version!"});
    EXPECT_EQ(tabDuringQuery, TFormMain::kPageLocalUpgrade);
    messages_.onShow = nullptr;
    form.SwitchTabImgBtn(1);
    EXPECT_EQ(form.State().CurrentTab, 1);
}

TEST_F(PageNavigationTest, TopBandMenuOffersThePagesWithoutATab) {
    TFormMain& form = *form_;
    auto menu = form.CreatePageMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Local Upgrade");
    EXPECT_EQ(menu->actions()[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(menu->actions()[1]->text(), "Manual");
    EXPECT_EQ(menu->actions()[1]->shortcut(), QKeySequence(Qt::Key_F1));
    menu->actions()[1]->trigger();
    EXPECT_EQ(form.State().CurrentTab, TFormMain::kPageManual);
    // On its own page an entry is ticked and greyed out.
    menu = form.CreatePageMenu();
    EXPECT_TRUE(menu->actions()[1]->isChecked());
    EXPECT_FALSE(menu->actions()[1]->isEnabled());
    EXPECT_TRUE(menu->actions()[0]->isEnabled());

    // A right click on the top band opens it; lower down it does not.
    for (int y : {40, 74, 75, 300}) {
        QStringList entries;
        QTimer::singleShot(50, [&entries] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : popup->actions())
                    entries << action->text();
                popup->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(500, y),
                                form.mapToGlobal(QPoint(500, y)));
        QApplication::sendEvent(&form, &event);
        QTest::qWait(100);
        EXPECT_EQ(entries, y < 75 ? QStringList({"Local Upgrade", "Manual"}) : QStringList()) << y;
    }
}

TEST_F(PageNavigationTest, SettingsButtonNamesTheShortcuts) {
    const QString tip = form_->Control<QPushButton>("SpeedButtonSetting")->toolTip();
    for (const char* part :
         {"Ctrl+1", "Ctrl+2", "Ctrl+3", "Ctrl+L", "F1", "Local Upgrade", "Manual"})
        EXPECT_TRUE(tip.contains(QLatin1String(part))) << part;
}

} // namespace
