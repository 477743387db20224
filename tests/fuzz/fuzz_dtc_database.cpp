// Any bytes as the trouble-code database: the loader must not crash, and every entry it returns
// must be what the list can show: a code without white space and a description, each within the
// field limit.
#include "content/dtc_database.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const DtcEntry& entry : ParseDtcDatabase(bytes)) {
        if (entry.Code.empty() || entry.Description.empty())
            std::abort();
        if (entry.Code.size() > kDtcFieldMaxBytes || entry.Description.size() > kDtcFieldMaxBytes)
            std::abort();
        for (const char16_t c : entry.Code)
            if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f')
                std::abort();
        for (const char16_t c : entry.Description)
            if (c == u'\r' || c == u'\n')
                std::abort();
        (void)DtcCaption(entry);
        (void)DtcSubItem(entry);
    }
    return 0;
}
