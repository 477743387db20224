#include "content/dtc_search.h"

std::u16string TrimSearchText(std::u16string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] <= u' ')
        ++first;
    while (last > first && text[last - 1] <= u' ')
        --last;
    return std::u16string(text.substr(first, last - first));
}

int FindFirstContaining(const std::vector<std::u16string>& captions, std::u16string_view text) {
    if (text.empty())
        return -1;
    for (std::size_t row = 0; row < captions.size(); ++row) {
        if (captions[row].find(text) != std::u16string::npos)
            return static_cast<int>(row);
    }
    return -1;
}
