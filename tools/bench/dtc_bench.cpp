// The trouble-code list with a database of 20 000 codes, in the real widget: the time to load
// the file and fill the list (drawn once), and the time of one keystroke's search (the search,
// the scroll, the selection and the redraw).  Prints figures; passes or fails nothing.
//   dtc_bench [codes] [runs]
#include "content/dtc_database.h"
#include "content/ui/dtc_list_view.h"
#include "content/ui/dtc_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class NoMessageBox final : public IMessageBox {
public:
    void ShowTextMessage(const std::u16string&) override {}
};

// `count` codes spread over the four letters, each with a description of ordinary length and,
// unless `accent` is empty, one accented word in that encoding.
std::string Database(int count, const char* accent = "") {
    const char* words[] = {"sensor",  "circuit", "range/performance",
                           "control", "module",  "bank 1",
                           "low",     "high",    "signal"};
    std::string content;
    for (int i = 0; i < count; ++i) {
        char line[160];
        const char letter = "PCBU"[i % 4];
        std::snprintf(line, sizeof line, "%c%04X Component %d %s %s %s %s\r\n", letter, i / 4, i,
                      words[i % 9], words[(i / 9) % 9], words[(i / 81) % 9], accent);
        content += line;
    }
    return content;
}

struct Figures {
    double median, p90, worst;
};

Figures Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back()};
}

} // namespace

int main(int argc, char** argv) {
    const int codes = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The database beside a scratch "executable"; the working folder has none.
    std::string pattern = (fs::temp_directory_path() / "quillon-dtc-bench-XXXXXX").string();
    const fs::path scratch = mkdtemp(pattern.data());
    fs::create_directories(scratch / "exe" / "DtcLookup");
    fs::create_directories(scratch / "work");
    const fs::path file = scratch / "exe" / kDtcDatabaseRelativePath;
    fs::current_path(scratch / "work");

    // The page's controls at their layout places.
    QWidget window;
    window.resize(960, 540);
    auto* list = new TDtcListView(&window);
    list->setGeometry(18, 97, 921, 390);
    auto* search = new QLineEdit(&window);
    search->setGeometry(132, 14, 208, 32);
    NoMessageBox box;
    DtcPage page(list, search, &box, (scratch / "exe").string() + "/");
    window.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    // Loading and filling, for a database in plain ASCII, with accents in UTF-8, and with accents
    // written on Windows (read line by line as Windows-1252).
    struct Variant {
        const char* name;
        const char* accent;
        std::vector<double> load, parse, draw;
    };
    Variant variants[] = {{"ASCII", "", {}, {}, {}},
                          {"UTF-8",
                           "d\xC3\xA9"
                           "bit",
                           {},
                           {},
                           {}},
                          {"Windows-1252",
                           "d\xE9"
                           "bit",
                           {},
                           {},
                           {}}};
    for (Variant& v : variants) {
        const std::string bytes = Database(codes, v.accent);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        for (int run = 0; run < runs; ++run) {
            timer.start();
            const std::size_t parsed = ParseDtcDatabase(bytes).size();
            v.parse.push_back(timer.nsecsElapsed() / 1e6);
            timer.start();
            page.LoadDtcList();
            const double filled = timer.nsecsElapsed() / 1e6;
            list->viewport()->repaint();
            v.load.push_back(timer.nsecsElapsed() / 1e6);
            v.draw.push_back(v.load.back() - filled);
            if (parsed != static_cast<std::size_t>(list->RowCount()))
                return 1;
        }
    }

    // Keystrokes: typing codes near the end of the list one character at a time, and text that
    // no caption holds (the whole list is searched).
    std::vector<double> keys, searchOnly;
    std::vector<std::string> typed;
    for (int i = 0; i < runs; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%c%04X", "PCBU"[3 - i % 4], (codes - 1 - i * 97) / 4);
        typed.emplace_back(code);
    }
    typed.emplace_back("ZZZZZZ");
    for (const std::string& text : typed) {
        search->clear();
        for (std::size_t n = 1; n <= text.size(); ++n) {
            timer.start();
            search->setText(QString::fromStdString(text.substr(0, n)));
            searchOnly.push_back(timer.nsecsElapsed() / 1e6);
            list->viewport()->repaint();
            keys.push_back(timer.nsecsElapsed() / 1e6);
        }
    }

    std::printf("codes %d, rows filled %d; milliseconds as median / 90th percentile / worst\n",
                codes, list->RowCount());
    const auto print = [](const char* what, const std::vector<double>& ms) {
        const Figures f = Summarise(ms);
        std::printf("%-44s %8.3f %8.3f %8.3f  (%zu)\n", what, f.median, f.p90, f.worst, ms.size());
    };
    for (const Variant& v : variants) {
        std::printf("%s database\n", v.name);
        print("  load and fill the list, drawn once", v.load);
        print("    of which parsing the file in memory", v.parse);
        print("    of which drawing the visible rows", v.draw);
    }
    print("one keystroke: search, scroll, select, redraw", keys);
    print("  of which without the redraw", searchOnly);
    fs::current_path(scratch.parent_path());
    fs::remove_all(scratch);
    return 0;
}
