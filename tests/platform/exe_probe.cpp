// A stand-in for the program in the executable-path tests.  Started with PROBE_REPORT=<file>, it
// waits for <file>.go, writes its executable path to <file>.parent and starts a fresh copy of
// itself, which (seeing PROBE_CHILD) writes "old <its executable path>" to <file>.
#include "platform/paths.h"
#include "platform/process.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

int main() {
    const char* report = std::getenv("PROBE_REPORT");
    if (!report)
        return 2;
    if (std::getenv("PROBE_CHILD")) {
        std::ofstream(report) << "old " << platform::ExecutablePath();
        return 0;
    }
    const std::string go = std::string(report) + ".go";
    for (int i = 0; i < 1000 && access(go.c_str(), F_OK) != 0; ++i)
        usleep(10000);
    std::ofstream(std::string(report) + ".parent") << platform::ExecutablePath();
    setenv("PROBE_CHILD", "1", 1);
    return platform::StartFreshCopyOfSelf() ? 0 : 1;
}
