#pragma once
// The search of the trouble-code list: the first row whose caption contains the typed text.
#include <string>
#include <string_view>
#include <vector>

// The typed text without the blanks and control characters at its ends.
std::u16string TrimSearchText(std::u16string_view text);

// Index of the first caption that contains `text`, or -1 when none does (or `text` is empty).
// Captions and text are compared as they are: the caller upper-cases both alike.
int FindFirstContaining(const std::vector<std::u16string>& captions, std::u16string_view text);
