#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

std::uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::time_t CalendarSeconds() {
    return std::time(nullptr);
}

} // namespace platform
