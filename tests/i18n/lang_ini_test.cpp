// The lang.ini that ships with the program: every key in every language section, English equal to
// the built-in defaults, nothing that the reader would change.
#include "core/string_table.h"
#include "i18n/language_keys.h"
#include "platform/ini_file.h"
#include "tests/i18n/ini_test_util.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

struct KeyDefault {
    std::string key;
    std::u16string englishDefault;
};

std::vector<KeyDefault> AllKeys() {
    std::vector<KeyDefault> keys;
    for (const auto& entry : kCaptionKeys)
        keys.push_back({entry.key, entry.englishDefault});
    for (const auto& entry : kWindowTextKeys)
        keys.push_back({entry.key, entry.englishDefault});
    for (int n = 1; n <= kProgressTextCount; ++n)
        keys.push_back({"MsgInfo" + std::to_string(n + 11), kProgressTextDefaults[n]});
    for (const auto& entry : kDialogKeys)
        keys.push_back({entry.key, entry.englishDefault});
    return keys;
}

IniFile ShippedLangIni() {
    IniFile ini;
    ini.Load(testutil::ReadFile(QUILLON_SOURCE_DIR "/i18n/lang.ini"));
    return ini;
}

TEST(ShippedLangIni, IsUtf16WithLanguageTwo) {
    const IniFile ini = ShippedLangIni();
    EXPECT_EQ(ini.Encoding(), IniEncoding::Utf16Le);
    EXPECT_EQ(ini.ReadInteger("set", "val", 0), 2);
}

TEST(ShippedLangIni, EnglishIsExactlyTheDefaults) {
    const IniFile ini = ShippedLangIni();
    const std::u16string absent = u"<absent>";
    for (const KeyDefault& k : AllKeys())
        EXPECT_EQ(ini.ReadString("en", k.key, absent), k.englishDefault) << k.key;
}

TEST(ShippedLangIni, EveryLanguageHasEveryKeyTranslated) {
    const IniFile ini = ShippedLangIni();
    const std::u16string absent = u"<absent>";
    const std::vector<KeyDefault> keys = AllKeys();
    ASSERT_EQ(keys.size(), 15u + 41u + 33u + 3u);
    for (const LanguageEntry& language : kLanguages) {
        std::set<std::u16string> distinctFromEnglish;
        for (const KeyDefault& k : keys) {
            const std::u16string text = ini.ReadString(language.section, k.key, absent);
            EXPECT_NE(text, absent) << language.section << " lacks " << k.key;
            if (text != k.englishDefault)
                distinctFromEnglish.insert(text);
        }
        // A real translation, not a copy of the English texts.
        if (std::string(language.section) != "en") {
            EXPECT_GT(distinctFromEnglish.size(), 70u) << language.section;
        }
    }
}

TEST(ShippedLangIni, StatusTextsEndWhereThePortNumberFollows) {
    const IniFile ini = ShippedLangIni();
    for (const LanguageEntry& language : kLanguages) {
        for (const char* key : {"LabelStatus1", "LabelStatus2"}) {
            const std::u16string text = ini.ReadString(language.section, key, u"");
            EXPECT_TRUE(text.ends_with(u"COM")) << language.section << " " << key;
        }
    }
}

} // namespace
