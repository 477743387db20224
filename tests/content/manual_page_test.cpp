// The Manual page on the offscreen platform: the listed documents and what a double click opens.
#include "content/ui/manual_page.h"
#include "tests/i18n/ini_test_util.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(ManualPage, ListsTheFolderAndOpensTheDoubleClickedDocumentByItsStoredName) {
    testutil::ScratchDir scratch;
    const fs::path dir = scratch.path() / "manual";
    fs::create_directories(dir / "images");
    testutil::WriteFile(dir / "guide.html", "x");
    testutil::WriteFile(dir / ".hidden.html", "x");
    // A name that is not valid UTF-8, as an old archive may unpack it.
    const std::string latin1Name = "caf\xE9.pdf";
    testutil::WriteFile(dir / latin1Name, "x");

    QListWidget list;
    list.resize(577, 329);
    std::vector<std::string> opened;
    const std::string folder = dir.string() + "/";
    ManualPage page(&list, folder, [&](const std::string& path) { opened.push_back(path); });
    page.LoadManualList();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("guide.html"));

    page.ManualListBoxDblClick(); // nothing selected
    EXPECT_TRUE(opened.empty());

    list.show();
    QApplication::processEvents();
    // A double click as the desktop delivers it: press and release, then the double click.
    const QPoint first = list.visualItemRect(list.item(0)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, first);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], folder + latin1Name);

    list.setCurrentRow(1);
    page.ManualListBoxDblClick();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], folder + "guide.html");
}

TEST(ManualPage, MissingFolderLeavesTheListEmpty) {
    testutil::ScratchDir scratch;
    QListWidget list;
    int opened = 0;
    ManualPage page(&list, (scratch.path() / "none").string() + "/",
                    [&](const std::string&) { ++opened; });
    page.LoadManualList();
    EXPECT_EQ(list.count(), 0);
    page.ManualListBoxDblClick();
    EXPECT_EQ(opened, 0);
}

} // namespace
