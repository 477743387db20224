// Any bytes as lang.ini, loaded twice: as they stand, and as the same characters in a UTF-16
// file with its byte-order mark (each byte taken as one character).  Loading must never crash,
// must set every caption and text within the value limit, and a file of ASCII text must load
// the same in both encodings.
#include "core/main_state.h"
#include "i18n/language_keys.h"
#include "i18n/language_loader.h"
#include "platform/ini_file.h"
#include "tests/fuzz/fuzz_scratch.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class RecordingView final : public ILanguageView {
public:
    void SetCaption(const std::string& control, const std::u16string& text) override {
        captions[control] = text;
    }
    void SetFontFace(const std::string&, const std::string&) override {}
    void SetFontPointSize(const std::string&, int) override {}
    void SetFontColor(const std::string&, int, int, int) override {}
    void MoveTo(const std::string&, int, int) override {}

    std::map<std::string, std::u16string> captions;
};

struct Loaded {
    int languageNumber = 0;
    std::vector<std::u16string> texts; // window texts, then progress texts
    std::map<std::string, std::u16string> captions;
    bool operator==(const Loaded&) const = default;
};

const std::string& IniPath() {
    static const std::string path = MakeFuzzScratchDir("lang") + "/lang.ini";
    return path;
}

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

Loaded Load(const std::string& bytes) {
    std::ofstream(IniPath(), std::ios::binary | std::ios::trunc) << bytes;
    MainState state;
    RecordingView view;
    Check(LoadLanguage(state, view, IniPath()).empty());
    Loaded out;
    out.languageNumber = state.LanguageNumber;
    for (const auto& entry : kWindowTextKeys)
        out.texts.push_back(state.Texts.*entry.field);
    for (int code = 1; code <= kProgressTextCount; ++code)
        out.texts.push_back(ProgressTexts[static_cast<std::size_t>(code)]);
    out.captions = std::move(view.captions);
    for (const auto& text : out.texts)
        Check(text.size() <= kIniMaxValueLength);
    for (const auto& [control, text] : out.captions)
        Check(text.size() <= kIniMaxValueLength);
    // Every caption key, the status line and the internet state.
    Check(out.captions.size() == kCaptionKeys.size() + 2);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 20000)
        return 0;
    const std::string asIs(reinterpret_cast<const char*>(data), size);
    std::string utf16("\xFF\xFE", 2);
    bool ascii = true;
    for (std::size_t i = 0; i < size; ++i) {
        utf16 += static_cast<char>(data[i]);
        utf16 += '\0';
        ascii &= data[i] < 0x80;
    }
    const Loaded eightBit = Load(asIs);
    const Loaded wide = Load(utf16);
    if (ascii)
        Check(eightBit == wide);
    return 0;
}
