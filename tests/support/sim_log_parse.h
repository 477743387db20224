#pragma once
// Reads one line of the simulator's JSON-lines frame log.  The simulator writes a fixed, flat
// shape (strings, numbers, no nesting), so a small field reader is enough.

#include <optional>
#include <string>

#include "tests/support/sim_harness.h"

namespace quillon::test {

// The record of one log line, or nothing for a line that is not a log record.
std::optional<SimFrame> ParseSimLogLine(const std::string& line);

} // namespace quillon::test
