// Telling the user why the ScanTool's port cannot be opened: the diagnosis, the message in every
// language, and when it is told and the port tried again.
#include "device/port_access.h"
#include "device/port_access_watch.h"
#include "i18n/language_keys.h"
#include "platform/ini_file.h"
#include "tests/device/pty_peer.h"
#include "tests/support/port_holder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end()); // the English texts are ASCII
}

bool Contains(const std::u16string& text, const std::string& part) {
    return Narrow(text).find(part) != std::string::npos;
}

TEST(PortAccess, OpenErrorsFallIntoThreeKinds) {
    const struct {
        int error;
        PortProblem problem;
    } cases[] = {{EACCES, PortProblem::Denied}, {EPERM, PortProblem::Denied},
                 {EBUSY, PortProblem::Busy},    {ENOENT, PortProblem::Failed},
                 {EIO, PortProblem::Failed},    {0, PortProblem::Failed}};
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyOpenError(c.error), c.problem) << c.error;
}

TEST(PortAccess, EachMessageSaysWhatToDo) {
    const PortAccessTexts english = EnglishPortAccessTexts();
    PortOpenFailure denied;
    denied.Problem = PortProblem::Denied;
    denied.Error = EACCES;
    denied.Path = "/dev/ttyACM0";
    denied.Group = "dialout";
    denied.User = "mechanic";
    std::u16string text = PortAccessMessage(denied, english);
    EXPECT_TRUE(Contains(text, "may not open its port /dev/ttyACM0.")) << Narrow(text);
    EXPECT_TRUE(Contains(text, std::string("\n") + kDeviceRuleCommand + "\n")) << Narrow(text);
    EXPECT_TRUE(Contains(text, "group dialout")) << Narrow(text);
    EXPECT_TRUE(Contains(text, "log in again")) << Narrow(text);
    EXPECT_TRUE(Contains(text, "\nsudo usermod -aG dialout mechanic")) << Narrow(text);

    PortOpenFailure busy;
    busy.Problem = PortProblem::Busy;
    busy.Error = EBUSY;
    busy.Path = "/dev/ttyACM1";
    text = PortAccessMessage(busy, english);
    EXPECT_TRUE(Contains(text, "port /dev/ttyACM1 is in use by another program.")) << Narrow(text);
    EXPECT_FALSE(Contains(text, kDeviceRuleCommand)); // the rule would not help
    busy.Holders = {"minicom"};
    EXPECT_TRUE(Contains(PortAccessMessage(busy, english), "in use by minicom."));
    EXPECT_FALSE(Contains(PortAccessMessage(busy, english), kDeviceRuleCommand));
    busy.Holders = {"minicom", "ModemManager"};
    text = PortAccessMessage(busy, english);
    EXPECT_TRUE(Contains(text, "in use by minicom, ModemManager.")) << Narrow(text);
    EXPECT_TRUE(Contains(text, std::string("\n") + kDeviceRuleCommand)) << Narrow(text);

    PortOpenFailure failed;
    failed.Error = EIO;
    failed.Path = "/dev/ttyACM2";
    EXPECT_EQ(Narrow(PortAccessMessage(failed, english)),
              "The ScanTool is plugged in, but its port /dev/ttyACM2 cannot be opened: "
              "Input/output error");

    // A value that looks like a placeholder is shown as it stands.
    busy.Holders = {"odd%2name"};
    EXPECT_TRUE(Contains(PortAccessMessage(busy, english), "in use by odd%2name."));
}

TEST(PortAccess, TheRuleCommandWritesTheRuleTheInstallShips) {
    std::ifstream in(QUILLON_SOURCE_DIR "/resources/desktop/60-quillon-scantool.rules");
    std::stringstream rules;
    rules << in.rdbuf();
    const std::string command = kDeviceRuleCommand;
    const std::size_t from = command.find('\'') + 1;
    const std::string rule = command.substr(from, command.find('\'', from) - from);
    EXPECT_NE(rules.str().find(rule), std::string::npos) << rule;
    EXPECT_NE(command.find("tee /etc/udev/rules.d/60-quillon-scantool.rules"), std::string::npos);
}

TEST(PortAccess, DiagnosisNamesEveryHolderOfTheRealPort) {
    testpeer::DevDir dev;
    testpeer::PtyPeer peer(dev.path(), 2);
    const std::string port = dev.path() + "/ttyACM2";
    quillon::test::PortHolder second(std::filesystem::canonical(port).string(), "minicom", false);
    quillon::test::PortHolder holder(port, "ModemManager");
    ASSERT_TRUE(second.Holding() && holder.Holding());
    const PortOpenFailure busy = DiagnosePortOpenFailure(3, EBUSY);
    EXPECT_EQ(busy.Problem, PortProblem::Busy);
    EXPECT_EQ(busy.Path, port);
    // In the order of /proc; this test process holds the pty too but is left out.
    std::vector<std::string> names = busy.Holders;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ModemManager", "minicom"}));

    // A pty's group (tty, mode 620) cannot read it: the serial ports' group is named instead.
    const PortOpenFailure denied = DiagnosePortOpenFailure(3, EACCES);
    EXPECT_EQ(denied.Problem, PortProblem::Denied);
    EXPECT_EQ(denied.Group, "dialout");
    EXPECT_FALSE(denied.User.empty());

    // An open that got a descriptor but no usable port leaves no errno.
    EXPECT_EQ(DiagnosePortOpenFailure(3, 0).Error, EIO);
}

TEST(PortAccess, EveryLanguageHasTheTextsWithTheirPlaceholders) {
    std::ifstream in(QUILLON_SOURCE_DIR "/i18n/lang.ini", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    IniFile ini;
    ini.Load(bytes.str());
    const auto placeholders = [](const std::u16string& text) {
        std::string found;
        for (std::size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == u'%' && text[i + 1] >= u'1' && text[i + 1] <= u'9')
                found += static_cast<char>(text[i + 1]);
        return found;
    };
    for (const LanguageEntry& language : kLanguages) {
        for (const PortAccessTextKey& entry : kPortAccessTextKeys) {
            const std::u16string text = ini.ReadString(language.section, entry.key, u"<absent>");
            ASSERT_NE(text, u"<absent>") << language.section << " lacks " << entry.key;
            EXPECT_FALSE(text.empty()) << language.section << " " << entry.key;
            if (std::string(language.section) == "en") {
                EXPECT_EQ(text, entry.englishDefault) << entry.key;
            } else {
                EXPECT_NE(text, entry.englishDefault) << language.section << " " << entry.key;
            }
            std::string expected = placeholders(entry.englishDefault);
            std::string got = placeholders(text);
            std::sort(got.begin(), got.end()); // the order may change with the grammar
            EXPECT_EQ(got, expected) << language.section << " " << entry.key;
        }
    }
}

// One run of the connection monitor as the watch sees it, and what it should decide.
struct Step {
    std::uint32_t atMs;
    int port;
    bool open;
    PortProblem problem;
    bool tell;
    bool retry;
};

void Play(const std::vector<Step>& steps) {
    PortAccessWatch watch;
    for (const Step& s : steps) {
        const auto d = watch.AfterCheck(s.port, s.open, s.problem, s.atMs);
        EXPECT_EQ(d.tell, s.tell) << "at " << s.atMs;
        EXPECT_EQ(d.retry, s.retry) << "at " << s.atMs;
    }
}

constexpr auto kDenied = PortProblem::Denied;
constexpr auto kBusy = PortProblem::Busy;
constexpr auto kFailed = PortProblem::Failed;

TEST(PortAccessWatch, DeniedIsToldAtOnceAndOncePerPlugIn) {
    Play({
        {1000, 1, false, kDenied, true, true},
        {3000, 1, false, kDenied, false, true}, // the retry fails again: not told twice
        {5000, 1, false, kDenied, false, true},
        {61000, 1, false, kDenied, false, false}, // a minute is enough
        {70000, 1, false, kDenied, false, false}, // another device came: still given up
        {80000, 0, false, kFailed, false, false}, // unplugged
        {90000, 1, false, kDenied, true, true},   // plugged in again: told again
    });
}

TEST(PortAccessWatch, ABusyPortIsToldOnlyWhenItStaysBusy) {
    // A probe that lets go after a few seconds: connected by a retry, nothing told.
    Play({
        {0, 1, false, kBusy, false, true},
        {2000, 1, false, kBusy, false, true},
        {4000, 1, true, kBusy, false, false},
        {6000, 1, false, kBusy, false, true}, // a new failure starts its own count
        {10999, 1, false, kBusy, false, true},
        {11000, 1, false, kBusy, true, true},
    });
    // One that holds on: told after five seconds, still tried for the rest of the minute.
    Play({
        {0, 2, false, kBusy, false, true},
        {5000, 2, false, kFailed, true, true},
        {7000, 2, false, kBusy, false, true},
        {59999, 2, false, kBusy, false, true},
        {60000, 2, false, kBusy, false, false},
    });
}

TEST(PortAccessWatch, AnotherPortIsANewPlugInAndTheTickMayWrap) {
    Play({
        {0xFFFFF000u, 1, false, kDenied, true, true},
        {0x00000800u, 1, false, kDenied, false, true}, // 6 s later, past the wrap
        {0x00001000u, 2, false, kDenied, true, true},  // moved to COM2
        {0x00002000u, 2, true, kDenied, false, false},
        {0x00003000u, -1, false, kFailed, false, false},
    });
}

} // namespace
