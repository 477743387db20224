// Listing the manual folder: which entries are documents, and their order.
#include "content/manual_library.h"
#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TEST(ManualLibrary, ListsWritableVisibleRegularFilesSortedByName) {
    testutil::ScratchDir scratch;
    const fs::path dir = scratch.path() / "manual";
    fs::create_directories(dir);
    struct Entry {
        const char* name;
        enum Kind { File, ReadOnly, Folder, Link, DanglingLink, Fifo } kind;
        bool listed;
    };
    const Entry entries[] = {
        {"b-guide.pdf", Entry::File, true},
        {"A-guide.html", Entry::File, true},
        {"a-notes.txt", Entry::File, true},
        {"B-guide.pdf", Entry::File, true},
        {"10-wiring.pdf", Entry::File, true},
        {".hidden.pdf", Entry::File, false},
        {".config", Entry::Folder, false},
        {"read-only.pdf", Entry::ReadOnly, false},
        {"images", Entry::Folder, false},
        {"linked.pdf", Entry::Link, true},
        {"dangling.pdf", Entry::DanglingLink, false},
        {"pipe", Entry::Fifo, false},
    };
    for (const Entry& e : entries) {
        const fs::path path = dir / e.name;
        switch (e.kind) {
        case Entry::File:
            testutil::WriteFile(path, "x");
            break;
        case Entry::ReadOnly:
            testutil::WriteFile(path, "x");
            fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
            break;
        case Entry::Folder:
            fs::create_directories(path);
            break;
        case Entry::Link:
            testutil::WriteFile(scratch.path() / "target.pdf", "x");
            fs::create_symlink(scratch.path() / "target.pdf", path);
            break;
        case Entry::DanglingLink:
            fs::create_symlink(scratch.path() / "missing.pdf", path);
            break;
        case Entry::Fifo:
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            break;
        }
    }
    // Letters without regard to case; names that differ only in case in byte order.
    const std::vector<std::string> expected = {"10-wiring.pdf", "A-guide.html", "a-notes.txt",
                                               "B-guide.pdf",   "b-guide.pdf",  "linked.pdf"};
    EXPECT_EQ(ListManualFolder(dir.string() + "/"), expected);
}

TEST(ManualLibrary, MissingFolderListsNothing) {
    testutil::ScratchDir scratch;
    EXPECT_TRUE(ListManualFolder((scratch.path() / "none").string() + "/").empty());
    EXPECT_EQ(ManualFolder("/opt/quillon/"), "/opt/quillon/manual/");
}

} // namespace
