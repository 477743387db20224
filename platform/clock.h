#pragma once
#include <cstdint>
#include <ctime>

namespace platform {

// Milliseconds from an arbitrary start, wrapping like a 32-bit tick counter.
std::uint32_t TickCount();

// Sleeps for `ms` milliseconds.
void SleepMs(unsigned ms);

// Calendar time in whole seconds.
std::time_t CalendarSeconds();

} // namespace platform
