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

// `count` codes spread over the four letters, each with a description of ordinary length.
std::string Database(int count) {
    const char* words[] = {"sensor", "circuit", "range/performance", "control", "module",
                           "bank 1", "low",     "high",              "signal"};
    std::string content;
    for (int i = 0; i < count; ++i) {
        char line[160];
        const char letter = "PCBU"[i % 4];
        std::snprintf(line, sizeof line, "%c%04X Component %d %s %s %s\r\n", letter, i / 4, i,
                      words[i % 9], words[(i / 9) % 9], words[(i / 81) % 9]);
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
    std::ofstream(scratch / "exe" / kDtcDatabaseRelativePath, std::ios::binary) << Database(codes);
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
    std::vector<double> load, parse, draw;
    const std::string bytes = Database(codes);
    for (int run = 0; run < runs; ++run) {
        timer.start();
        const std::size_t parsed = ParseDtcDatabase(bytes).size();
        parse.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        page.LoadDtcList();
        const double filled = timer.nsecsElapsed() / 1e6;
        list->viewport()->repaint();
        load.push_back(timer.nsecsElapsed() / 1e6);
        draw.push_back(load.back() - filled);
        if (parsed != static_cast<std::size_t>(list->RowCount()))
            return 1;
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
    print("load and fill the list, drawn once", load);
    print("  of which parsing the file in memory", parse);
    print("  of which drawing the visible rows", draw);
    print("one keystroke: search, scroll, select, redraw", keys);
    print("  of which without the redraw", searchOnly);
    fs::current_path(scratch.parent_path());
    fs::remove_all(scratch);
    return 0;
}
