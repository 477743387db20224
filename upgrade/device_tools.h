#pragma once
// The maintenance tools of the Local Upgrade page: Query Version, Query ID, Set ID with its ID
// counter, and the hidden test burn.
#include <string>

struct MainState;
class IUpgradeWindow;

// A modal input box with one single-line edit.
class IInputBox {
public:
    virtual ~IInputBox() = default;
    // Shows `text` for editing, at most `maxLength` characters.  On OK the entered text
    // replaces `text` and the result is true; on Cancel `text` stays as it was.
    virtual bool InputString(const std::u16string& caption, std::u16string& text,
                             int maxLength) = 0;
};

inline constexpr int kDeviceIdLength = 12;

// The text without its leading and trailing blanks and control characters (codes up to 32).
std::u16string TrimBlanks(const std::u16string& text);
// Exactly 12 characters that form a decimal number: an optional sign, digits, optionally one
// "." and more digits.
bool IsValidDeviceId(const std::u16string& id);
// The ID counted up by one from its last character; any character that is not "0".."8"
// (a "9", a sign, a ".") becomes "0" and carries to the left.
std::u16string NextDeviceId(const std::u16string& id);

class DeviceTools {
public:
    DeviceTools(MainState& state, IUpgradeWindow& window, IInputBox& input);

    // Shows "<type>-<subtype>  ROM_ver:<rom> FLASH_ver:<flash>" under the caption "info", or
    // "Fail to request device version!".  True when the ScanTool answered.
    bool QueryVersion();
    // Shows "ID: " and the ScanTool's 12 ID characters, or "Fail to request device ID!".
    bool QueryId();
    // Asks for an ID (proposing the last one), checks it and writes it to the ScanTool; after a
    // success the next proposal is the following ID.  True when the ID was set.
    bool SetId();
    // The hidden test hook: opens COM4, burns the FLASH test file at `path` in 512-byte blocks
    // with the FLASH row's progress pair, and says "OK" when that worked.
    bool TestBurn(const std::string& path);

    // The text that the next Set ID proposes; empty at start, kept only while the program runs.
    const std::u16string& LastId() const { return lastId_; }

private:
    MainState& state_;
    IUpgradeWindow& window_;
    IInputBox& input_;
    std::u16string lastId_;
};
