#include "app/first_paint.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

void ReportFirstPaint() {
    static bool reported = false;
    if (reported)
        return;
    reported = true;
    const char* flag = std::getenv("QUILLON_REPORT_FIRST_PAINT");
    if (!flag || std::strcmp(flag, "1") != 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "first-paint %lld\n",
                 static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stderr);
}
