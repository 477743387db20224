// The whole internet upgrade on loopback against the sum of its parts measured alone in the same
// run.  A 1 MiB ROM and a 512 KiB FLASH image are served (with their MD5 trailers) by the test
// update server; the simulated ScanTool takes the burns.  Each round measures
//   the parts:    both downloads with the curl command line (curl's own transfer time) and both
//                 burns with `burn_bench device` (the blocks alone, without process start),
//   the workflow: the real main window (offscreen unless QT_QPA_PLATFORM says otherwise), from
//                 the click on Check Update to "Upgrade finished!",
// and prints what the workflow adds to the sum of the parts; medians over the rounds at the end.
//
//   internet_upgrade_bench [rounds, default 5] [ROM bytes] [FLASH bytes]
#include "app/controls.h"
#include "app/form_main.h"
#include "bench_util.h"
#include "core/ports.h"
#include "upgrade/internet_indicator.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef QUILLON_SOURCE_DIR
#define QUILLON_SOURCE_DIR "."
#endif
#ifndef QUILLON_BURN_BENCH
#define QUILLON_BURN_BENCH "burn_bench"
#endif

namespace {

const std::string kSimulator = QUILLON_SOURCE_DIR "/tools/scantool_sim.py";
const std::string kServer = QUILLON_SOURCE_DIR "/tools/update_server.py";

// Notes when "Upgrade finished!" appears; every other message is kept for the report.
struct TimingMessages : IMessageBox {
    void ShowTextMessage(const std::u16string& text) override {
        if (text == u"Upgrade finished!")
            finishedAt = bench::Now();
        else
            others.push_back(text);
    }
    double finishedAt = 0;
    std::vector<std::u16string> others;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool SameFile(const std::string& a, const std::string& b) {
    const std::string x = ReadText(a);
    return !x.empty() && x == ReadText(b);
}

// curl's own transfer time for one URL, or -1.
double CurlSeconds(const std::string& url, const std::string& file, const std::string& scratch) {
    const std::string timing = scratch + "/curl.txt";
    if (bench::Run({"curl", "-s", "-f", "-o", file, "-w", "%{time_total}", url}, timing) != 0)
        return -1;
    return std::atof(ReadText(timing).c_str());
}

// The block time that burn_bench reports for one burn, or -1.
double BurnSeconds(int kind, const std::string& file, const std::string& scratch) {
    const std::string output = scratch + "/burn.txt";
    if (bench::Run({QUILLON_BURN_BENCH, "device", std::to_string(kind), file}, output) != 0)
        return -1;
    const std::string text = ReadText(output);
    const std::size_t in = text.find(" in ");
    return in == std::string::npos ? -1 : std::atof(text.c_str() + in + 4);
}

// One click on Check Update in a fresh main window; seconds to "Upgrade finished!", or -1.
double WorkflowSeconds(const std::string& scratch) {
    TimingMessages messages;
    FormMainOptions options;
    options.LangIniPath = scratch + "/lang.ini";
    options.UploadPath = scratch + "/upload.dat";
    options.MessageBox = &messages;
    options.WatchDevices = false;
    TFormMain form(options);
    form.show();
    form.Indicator().TimerCheckInternetTimer(); // online (QUILLON_ONLINE=1)
    QApplication::processEvents();
    auto* button = form.Control<TClickLabel>("Button_InternetUpdate");
    const double start = bench::Now();
    emit button->clicked();
    for (const auto& text : messages.others)
        std::fprintf(stderr, "message: %s\n", QString::fromStdU16String(text).toUtf8().data());
    return messages.finishedAt > 0 ? messages.finishedAt - start : -1;
}

struct Round {
    double curlRom, curlFlash, burnRom, burnFlash, workflow;
    double Parts() const { return curlRom + curlFlash + burnRom + burnFlash; }
};

void Print(const char* name, const Round& r) {
    std::printf("%-8s curl ROM %7.4f  curl FLASH %7.4f  burn ROM %7.4f  burn FLASH %7.4f  "
                "sum %7.4f s | workflow %7.4f s  adds %+6.2f %%\n",
                name, r.curlRom, r.curlFlash, r.burnRom, r.burnFlash, r.Parts(), r.workflow,
                (r.workflow / r.Parts() - 1) * 100);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::size_t romBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1u << 20;
    const std::size_t flashBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1u << 19;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    const std::string scratch = bench::MakeScratch("quillon-iu-bench");
    for (const char* folder : {"/served", "/dev", "/sys/class/tty", "/burned", "/tmp", "/fetched"})
        bench::Run({"mkdir", "-p", scratch + folder});
    const std::string rom = scratch + "/served/a.rom";
    const std::string flash = scratch + "/served/b.fls";
    if (!bench::WriteRandomFile(rom, romBytes) || !bench::WriteRandomFile(flash, flashBytes)) {
        std::fprintf(stderr, "cannot write the images\n");
        return 1;
    }

    bench::Child server;
    bench::Child sim;
    std::string line;
    if (!server.Start({"python3", kServer, "--images", scratch + "/served", "--log",
                       scratch + "/requests.jsonl"}) ||
        !server.ReadLine(line) || line.rfind("READY ", 0) != 0) {
        std::fprintf(stderr, "the update server did not start\n");
        return 1;
    }
    const std::string host = "127.0.0.1:" + line.substr(6);
    if (!sim.Start({"python3", kSimulator, "--dev-dir", scratch + "/dev", "--sysfs-root",
                    scratch + "/sys", "--image-dir", scratch + "/burned"}) ||
        !sim.ReadLine(line) || line.rfind("READY", 0) != 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    auto command = [](bench::Child& child, const std::string& text) {
        std::string answer;
        return write(child.in, (text + "\n").data(), text.size() + 1) ==
                   static_cast<ssize_t>(text.size() + 1) &&
               child.ReadLine(answer) && answer.rfind("ok", 0) == 0;
    };
    // The simulated ScanTool holds ROM 1.0.0 and FLASH 1.0.0: both images are newer.
    if (!command(server, "offer key=default rom=1.0.2:a.rom flash=2.0.1:b.fls")) {
        std::fprintf(stderr, "the offer was refused\n");
        return 1;
    }
    setenv("QUILLON_DEV_DIR", (scratch + "/dev").c_str(), 1);
    setenv("QUILLON_SYSFS_ROOT", (scratch + "/sys").c_str(), 1);
    setenv("QUILLON_UPDATE_HOST", host.c_str(), 1);
    setenv("QUILLON_ONLINE", "1", 1);
    setenv("TMPDIR", (scratch + "/tmp").c_str(), 1);

    int qtArgc = 1;
    char name[] = "internet_upgrade_bench";
    char* qtArgv[] = {name, nullptr};
    QApplication app(qtArgc, qtArgv);

    std::printf(
        "ROM %zu bytes, FLASH %zu bytes (each served with its 48-byte trailer), %d rounds\n",
        romBytes, flashBytes, rounds);
    const std::string base = "http://" + host + "/quillon/images/";
    std::vector<Round> all;
    bool ok = true;
    for (int i = 0; i < rounds && ok; ++i) {
        Round r{};
        // The burns go in the images as the workflow sends them: without their trailers.
        r.curlRom = CurlSeconds(base + "a.rom", scratch + "/fetched/a.rom", scratch);
        r.curlFlash = CurlSeconds(base + "b.fls", scratch + "/fetched/b.fls", scratch);
        r.burnRom = BurnSeconds(1, rom, scratch);
        r.burnFlash = BurnSeconds(2, flash, scratch);
        r.workflow = WorkflowSeconds(scratch);
        ok = r.curlRom >= 0 && r.curlFlash >= 0 && r.burnRom >= 0 && r.burnFlash >= 0 &&
             r.workflow >= 0 && SameFile(rom, scratch + "/burned/rom.bin") &&
             SameFile(flash, scratch + "/burned/flash.bin");
        if (!ok) {
            std::fprintf(stderr, "round %d failed\n", i + 1);
            break;
        }
        Print(("round " + std::to_string(i + 1)).c_str(), r);
        all.push_back(r);
    }
    if (ok) {
        auto median = [&all](double Round::*field) {
            std::vector<double> values;
            for (const Round& r : all)
                values.push_back(r.*field);
            return bench::Median(values);
        };
        const Round m{median(&Round::curlRom), median(&Round::curlFlash), median(&Round::burnRom),
                      median(&Round::burnFlash), median(&Round::workflow)};
        Print("median", m);
        // Other load only ever adds time: the fastest of each is the least disturbed figure.
        auto fastest = [&all](double Round::*field) {
            double best = all.front().*field;
            for (const Round& r : all)
                best = std::min(best, r.*field);
            return best;
        };
        Print("fastest",
              Round{fastest(&Round::curlRom), fastest(&Round::curlFlash), fastest(&Round::burnRom),
                    fastest(&Round::burnFlash), fastest(&Round::workflow)});
        // Parts and workflow of one round run seconds apart, so the rounds' own ratios suffer
        // less from other load on the machine than the ratio of the medians.
        std::vector<double> ratios;
        for (const Round& r : all)
            ratios.push_back((r.workflow / r.Parts() - 1) * 100);
        std::printf("median of the rounds' figures: the workflow adds %+.2f %%\n",
                    bench::Median(ratios));
    }
    sim.Finish();
    server.Finish();
    bench::RemoveTree(scratch);
    return ok ? 0 : 1;
}
