#pragma once
// The program's side of the update server: where it is, which images it offers for a ScanTool,
// and how versions compare.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct MainState;

// The check-upgrade script on the update server.
inline constexpr const char* kCheckUpgradePath = "/quillon/kv_checkupgrade.php";
// The reply buffer and the time budget of the server question.
inline constexpr int kOfferReplyCapacity = 260;
inline constexpr int kOfferTimeoutMs = 5000;
// The message for a reply that does not split into six fields (fixed English, as it always was).
inline constexpr const char16_t* kOfferMalformedMessage = u"Fail to request server!";

// The server's answer for one ScanTool type and subtype.
struct UpgradeOffer {
    std::string RomVersion;   // at most 10 characters
    std::string RomPath;      // path on the update server, beginning with "/"
    std::int32_t RomSize = 0; // bytes of the file as stored on the server, trailer included
    std::string FlashVersion;
    std::string FlashPath;
    std::int32_t FlashSize = 0;
};

// "host" or "host:port" of the update server: $QUILLON_UPDATE_HOST when it holds a host name or
// IPv4 address with an optional port, otherwise the host built in (port 80).
std::string UpdateServerHost();

// Posts "types=<type>&subtype=<subtype>" (inserted as they are, without URL encoding) to the
// check-upgrade script and fills `offer` from the reply.  False without a message when the
// server gave no answer; false after the message "Fail to request server!" (through
// state.MessageBox) when the reply does not split into six fields.
bool RequestUpgradeOffer(MainState& state, const char* type, const char* subtype,
                         UpgradeOffer& offer);

// Splits a reply of `size` stored bytes (its text ends at a zero byte or after the bytes) at "|":
// the part before the first "|" is skipped, each "|" starts a field, at most six are taken, and
// when the text ends before six, one empty field is added.  Returns the number of fields.
int SplitOfferReply(const char* reply, std::size_t size, std::array<std::string_view, 6>& fields);

// Reads a decimal integer like the C library's atol: leading blanks, an optional sign, digits up
// to the first other character; 0 without digits.  Saturates instead of overflowing.
long ReadLeadingInteger(std::string_view text);

// 1 when version a is newer than b, -1 when older, 0 when they count as equal.  Compares at most
// the first three dotted fields as numbers; a version that runs out of fields first counts as
// equal.
int CompareVersions(std::string_view a, std::string_view b);
