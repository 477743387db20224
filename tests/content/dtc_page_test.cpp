// The DTC Lookup page on the offscreen platform: filling the list, the search as the user types,
// the look of the selected row, the double click, and the page in the main window.
#include "app/form_main.h"
#include "content/dtc_database.h"
#include "content/ui/dtc_list_view.h"
#include "content/ui/dtc_page.h"
#include "tests/content/scoped_working_dir.h"
#include "tests/i18n/ini_test_util.h"
#include "tests/support/sim_harness.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

class RecordingMessageBox final : public IMessageBox {
public:
    void ShowTextMessage(const std::u16string& text) override { shown.push_back(text); }
    std::vector<std::u16string> shown;
};

bool RowHasColour(const QImage& image, int top, const QColor& colour) {
    for (int y = top; y < top + TDtcListView::kRowHeight - 1 && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
    return false;
}

// The page's controls at their layout places, a database of `count` codes P0000, P0001, ...
// beside a scratch "executable", and a working folder without one.
class DtcPageTest : public ::testing::Test {
protected:
    static constexpr int kCodes = 300;

    DtcPageTest() : inWork_(MakeDir("work")) {
        window_.resize(960, 540);
        list_ = new TDtcListView(&window_);
        list_->setGeometry(18, 97, 921, 390);
        search_ = new QLineEdit(&window_);
        search_->setGeometry(132, 14, 208, 32);
        search_->setMaxLength(32);
    }

    void WriteDatabase(int count) {
        std::string content;
        for (int i = 0; i < count; ++i) {
            char line[64];
            std::snprintf(line, sizeof line, "P%04d Description %d\r\n", i, i);
            content += line;
        }
        const fs::path exe = MakeDir("exe");
        fs::create_directories(exe / "DtcLookup");
        testutil::WriteFile(exe / kDtcDatabaseRelativePath, content);
    }

    std::unique_ptr<DtcPage> Load() {
        auto page = std::make_unique<DtcPage>(list_, search_, &messages_,
                                              (scratch_.path() / "exe").string() + "/");
        page->LoadDtcList();
        window_.show();
        search_->setFocus();
        QApplication::processEvents();
        return page;
    }

    fs::path MakeDir(const char* name) {
        fs::create_directories(scratch_.path() / name);
        return scratch_.path() / name;
    }

    int ScrollValue() const { return list_->verticalScrollBar()->value(); }

    testutil::ScratchDir scratch_;
    testutil::ScopedWorkingDir inWork_;
    QWidget window_;
    TDtcListView* list_;
    QLineEdit* search_;
    RecordingMessageBox messages_;
};

TEST_F(DtcPageTest, LoadFillsTwoColumnsWithTheListsLook) {
    WriteDatabase(kCodes);
    auto page = Load();
    EXPECT_EQ(page->DatabasePath(), (scratch_.path() / "exe" / kDtcDatabaseRelativePath).string());
    ASSERT_EQ(list_->RowCount(), kCodes);
    EXPECT_EQ(list_->Caption(7), QStringLiteral(" P0007"));
    EXPECT_EQ(list_->SubItem(7), QString::fromUtf16(u"\u3000Description 7"));
    EXPECT_EQ(list_->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Items"));
    EXPECT_EQ(list_->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Contents"));

    EXPECT_TRUE(list_->horizontalHeader()->isHidden());
    EXPECT_TRUE(list_->verticalHeader()->isHidden());
    EXPECT_TRUE(list_->showGrid());
    EXPECT_EQ(list_->rowHeight(0), 24);
    EXPECT_EQ(list_->columnWidth(0), 124);
    EXPECT_EQ(list_->columnWidth(0) + list_->columnWidth(1),
              list_->viewport()->width()); // the description takes the rest
    EXPECT_EQ(list_->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list_->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list_->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list_->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(list_->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(QFontInfo(list_->RowFont()).pixelSize(), TDtcListView::kFontPixels);
}

TEST_F(DtcPageTest, TypingSelectsTheFirstMatchAndBringsItNearTheTop) {
    WriteDatabase(kCodes);
    auto page = Load();
    QTest::keyClicks(search_, "p0150");
    EXPECT_EQ(list_->SelectedRow(), 150);
    EXPECT_EQ(list_->RowTop(150), DtcPage::kFoundRowTop);
    EXPECT_EQ(QApplication::focusWidget(), search_); // the typing goes on in the search box

    // No caption holds the text: selection and scroll stay.
    const int scrolled = ScrollValue();
    QTest::keyClicks(search_, "x");
    EXPECT_EQ(list_->SelectedRow(), 150);
    EXPECT_EQ(ScrollValue(), scrolled);
    // Blanks only, or nothing: the same.
    search_->setText(QStringLiteral("   "));
    search_->clear();
    EXPECT_EQ(list_->SelectedRow(), 150);
    EXPECT_EQ(ScrollValue(), scrolled);

    // Text anywhere in the caption, trimmed, first row in file order.
    search_->setText(QStringLiteral("  015 "));
    EXPECT_EQ(list_->SelectedRow(), 15);
    EXPECT_EQ(list_->RowTop(15), DtcPage::kFoundRowTop);

    // Rows near the ends cannot come to 20 pixels: they are shown whole all the same.
    const int viewport = list_->viewport()->height();
    for (int row : {kCodes - 1, 0}) {
        search_->setText(QStringLiteral("P%1").arg(row, 4, 10, QLatin1Char('0')));
        EXPECT_EQ(list_->SelectedRow(), row);
        EXPECT_GE(list_->RowTop(row), 0);
        EXPECT_LE(list_->RowTop(row) + list_->rowHeight(row), viewport);
    }
    EXPECT_EQ(ScrollValue(), 0);
}

TEST_F(DtcPageTest, SelectedRowIsYellowOnBlueWhileTheFocusIsInTheSearchBox) {
    WriteDatabase(kCodes);
    auto page = Load();
    QTest::keyClicks(search_, "P0042");
    ASSERT_EQ(list_->SelectedRow(), 42);
    ASSERT_FALSE(list_->hasFocus());
    const QImage image = list_->viewport()->grab().toImage();
    const int selected = list_->RowTop(42);
    const int other = list_->RowTop(43);
    EXPECT_EQ(image.pixelColor(600, selected + 12), TDtcListView::kSelectedBackColor);
    EXPECT_TRUE(RowHasColour(image, selected, TDtcListView::kSelectedTextColor));
    EXPECT_EQ(image.pixelColor(600, other + 12), TDtcListView::kBackColor);
    EXPECT_TRUE(RowHasColour(image, other, TDtcListView::kTextColor));
    EXPECT_FALSE(RowHasColour(image, other, TDtcListView::kSelectedTextColor));
}

TEST_F(DtcPageTest, DoubleClickShowsTheSelectedDescription) {
    WriteDatabase(kCodes);
    auto page = Load();
    page->DTCLookupListDblClick(); // nothing selected yet
    EXPECT_TRUE(messages_.shown.empty());

    // A double click as the desktop delivers it: press and release, then the double click.
    const QPoint row3(300, list_->RowTop(3) + 12);
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, row3);
    QTest::mouseDClick(list_->viewport(), Qt::LeftButton, {}, row3);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0], u"\u3000Description 3");
}

TEST_F(DtcPageTest, NoDatabaseLeavesTheListEmptyAndTheSearchHarmless) {
    auto page = Load();
    EXPECT_TRUE(page->DatabasePath().empty());
    EXPECT_EQ(list_->RowCount(), 0);
    QTest::keyClicks(search_, "P0420");
    EXPECT_EQ(list_->SelectedRow(), -1);
    page->DTCLookupListDblClick();
    EXPECT_TRUE(messages_.shown.empty());
}

// The page in the main window, with the shipped database and manual folder beside it.
TEST(DtcPageInWindow, ShowsTheShippedDatabaseAndKeepsAScreenshot) {
    testutil::ScratchDir scratch;
    const fs::path data = scratch.path() / "data";
    fs::create_directories(data / "DtcLookup");
    fs::copy_file(QUILLON_SOURCE_DIR "/content/DtcLookup/OBDII.txt",
                  data / kDtcDatabaseRelativePath);
    fs::copy(QUILLON_SOURCE_DIR "/content/manual", data / "manual", fs::copy_options::recursive);
    fs::create_directories(scratch.path() / "dev");
    fs::create_directories(scratch.path() / "sys" / "class" / "tty");
    quillon::test::ScopedSimEnvironment env((scratch.path() / "dev").string(),
                                            (scratch.path() / "sys").string());
    testutil::ScopedWorkingDir inScratch(scratch.path());

    RecordingMessageBox messages;
    FormMainOptions options;
    options.LangIniPath = (scratch.path() / "lang.ini").string();
    options.MessageBox = &messages;
    options.WatchDevices = false;
    options.UploadPath = (scratch.path() / "upload.dat").string();
    options.DataDir = data.string() + "/";
    TFormMain form(std::move(options));
    form.show();
    form.SwitchTabImgBtn(2);
    auto* list = form.Control<TDtcListView>("DTCLookupList");
    auto* search = form.Control<QLineEdit>("EditSearch");
    ASSERT_TRUE(list && search);
    EXPECT_GT(list->RowCount(), 2000);
    EXPECT_FALSE(list->isHidden());

    search->setFocus();
    QTest::keyClicks(search, "p0420");
    const int row = list->SelectedRow();
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->Caption(row), QStringLiteral(" P0420"));
    EXPECT_EQ(list->RowTop(row), DtcPage::kFoundRowTop);

    auto* manual = form.Control<QListWidget>("ManualListBox");
    ASSERT_TRUE(manual);
    EXPECT_FALSE(
        manual->findItems(QStringLiteral("QUILLON-User-Guide.html"), Qt::MatchExactly).isEmpty());

    QApplication::processEvents();
    const fs::path artifacts = QUILLON_BINARY_DIR "/artifacts";
    fs::create_directories(artifacts);
    EXPECT_TRUE(form.grab().save(QString::fromStdString((artifacts / "dtc_page.png").string())));
}

} // namespace
