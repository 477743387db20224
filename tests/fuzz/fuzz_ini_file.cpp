// Any bytes as lang.ini: reading every kind of key and rewriting [set] val must not crash, and a
// rewritten file must read back the written value.
#include "platform/ini_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IniFile ini;
    ini.Load(std::string(reinterpret_cast<const char*>(data), size));
    ini.ReadString("cn", "LabelStatus", u"default");
    ini.ReadString("", "", u"");
    ini.ReadInteger("set", "val", 2);

    IniFile rewritten;
    rewritten.Load(ini.ContentWithValue("set", "val", u"7"));
    if (rewritten.ReadInteger("set", "val", 2) != 7)
        std::abort();
    return 0;
}
