#pragma once
// A scratch folder for fuzz targets that need files, in memory where the system offers it so
// that the many small writes cost little.  Created once per process, left for the system to
// clean (a fuzz run ends by a signal as often as not).
#include <cstdlib>
#include <string>
#include <unistd.h>

inline std::string MakeFuzzScratchDir(const char* name) {
    const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/quillon-fuzz-" + name + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}
