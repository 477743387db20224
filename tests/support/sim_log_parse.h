#pragma once
// Reads one line of the simulator's (or the test update server's) JSON-lines log.  Both write a
// fixed, flat shape (strings, numbers, no nesting), so a small field reader is enough.

#include <optional>
#include <string>

#include "tests/support/sim_harness.h"

namespace quillon::test {

// The raw text of a field's value ("key": value) in a flat JSON line, strings without their
// quotes and with their escapes undone.
std::optional<std::string> LogField(const std::string& line, const std::string& key);

// Bytes from hexadecimal text, two digits each.
std::vector<std::uint8_t> HexBytes(const std::string& hex);

// The record of one log line, or nothing for a line that is not a log record.
std::optional<SimFrame> ParseSimLogLine(const std::string& line);

} // namespace quillon::test
