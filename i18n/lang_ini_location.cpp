#include "i18n/lang_ini_location.h"

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

#include <cstdint>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* kFileName = "lang.ini";
constexpr const char* kShippedKey = "shipped";

bool ReadBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
    return !in.bad();
}

// FNV-1a over the file's bytes, as 16 hexadecimal digits: enough to notice a new version.
std::u16string Fingerprint(const std::string& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    std::u16string text(16, u'0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[static_cast<std::size_t>(i)] = u"0123456789abcdef"[hash & 0xF];
    return text;
}

} // namespace

std::string LangIniPathFor(const std::string& exePath) {
    if (!platform::InstallPrefixOf(exePath).empty())
        return platform::ConfigDir() + kFileName;
    return platform::ShippedDataDirOf(exePath) + kFileName;
}

std::string ShippedLangIniPathFor(const std::string& exePath) {
    if (platform::InstallPrefixOf(exePath).empty())
        return {};
    return platform::ShippedDataDirOf(exePath) + kFileName;
}

bool PrepareUserLangIni(const std::string& exePath) {
    const std::string shippedPath = ShippedLangIniPathFor(exePath);
    if (shippedPath.empty())
        return true;
    // The folder in any case: with nothing to copy from, the loader starts an empty file there
    // as it does beside an executable.
    if (!platform::MakeUserDir(platform::ConfigDir()))
        return false;
    std::string shippedBytes;
    if (!ReadBytes(shippedPath, shippedBytes))
        return true;
    const std::u16string fingerprint = Fingerprint(shippedBytes);
    IniFile shipped;
    shipped.Load(shippedBytes);
    std::u16string language = shipped.ReadString("set", "val", u"2");

    const std::string userPath = LangIniPathFor(exePath);
    std::string userBytes;
    if (ReadBytes(userPath, userBytes)) {
        IniFile user;
        user.Load(std::move(userBytes));
        if (user.ReadString("set", kShippedKey, u"") == fingerprint)
            return true;
        language = user.ReadString("set", "val", language);
    }

    IniFile copy;
    copy.Load(shipped.ContentWithValue("set", "val", language));
    const std::string content = copy.ContentWithValue("set", kShippedKey, fingerprint);
    return platform::WriteFileAtomically(userPath, content.data(), content.size()) == 0;
}
