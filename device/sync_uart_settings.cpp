// The port object's settings persistence, in an INI file among the user's settings.
#include "device/sync_uart.h"

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

#include <climits>
#include <filesystem>
#include <optional>

namespace {

std::string PortSection(const std::string& subKey, TCommPortNumber port) {
    return subKey + "\\COM" + std::to_string(port);
}

std::u16string Number(long long value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

// An entry present with a number in [low, high]; anything else counts as absent.
std::optional<int> ReadInRange(const IniFile& ini, const std::string& section, const char* key,
                               int low, int high) {
    const int value = ini.ReadInteger(section, key, INT_MIN);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::string SettingsFilePath() {
    return platform::ConfigDir() + "settings.ini";
}

void TSyncUart::SaveSettings(const std::string& subKey) const {
    const std::string path = SettingsFilePath();
    platform::MakeUserDir(platform::ConfigDir());
    std::error_code ignored;
    IniFile ini;
    if (!ini.OpenExisting(path)) {
        // A new file is UTF-8; one that is there but cannot be read is left alone.
        if (std::filesystem::exists(path, ignored) || ignored ||
            platform::WriteFileAtomically(path, kEmptyUtf8IniFile.data(),
                                          kEmptyUtf8IniFile.size()) != 0)
            return;
    }
    const std::string port = PortSection(subKey, FPortNO);
    ini.WriteString(subKey, "COMPort", Number(FPortNO), nullptr);
    ini.WriteString(port, "BaudRate", Number(FBaudRate), nullptr);
    ini.WriteString(port, "Parity", Number(dcb_.Parity), nullptr);
    ini.WriteString(port, "DataBits", Number(dcb_.ByteSize - 5), nullptr);
    ini.WriteString(port, "StopBits", Number(dcb_.StopBits), nullptr);
}

void TSyncUart::LoadSettings(const std::string& subKey, bool keepPort) {
    IniFile ini;
    if (!ini.OpenExisting(SettingsFilePath()))
        return;
    if (!keepPort) {
        if (auto port = ReadInRange(ini, subKey, "COMPort", 0, 256))
            fSetPort(static_cast<TCommPortNumber>(*port)); // moves an open port
    }
    // The setters compare with what is set and apply a change to an open port at once.
    const std::string section = PortSection(subKey, FPortNO);
    if (auto rate = ReadInRange(ini, section, "BaudRate", 0, INT_MAX))
        fSetBaudRate(static_cast<std::uint32_t>(*rate));
    if (auto parity = ReadInRange(ini, section, "Parity", ptNONE, ptSPACE))
        fSetParity(static_cast<TCommParity>(*parity));
    if (auto bits = ReadInRange(ini, section, "DataBits", db5BITS, db8BITS))
        fSetDataBits(static_cast<TCommDataBits>(*bits));
    if (auto stop = ReadInRange(ini, section, "StopBits", sb1BITS, sb2BITS))
        fSetStopBits(static_cast<TCommStopBits>(*stop));
}
