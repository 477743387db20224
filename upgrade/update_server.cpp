#include "upgrade/update_server.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/main_state.h"
#include "upgrade/http_client.h"

#ifndef QUILLON_DEFAULT_UPDATE_HOST
#define QUILLON_DEFAULT_UPDATE_HOST "update.quillon.example"
#endif

namespace {

// host[:port] with a plain host (letters, digits, '.', '-', '_', at most 63) and a port 1..65535.
bool IsHostAndPort(std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty() || host.size() > 63)
        return false;
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            return false;
    }
    if (colon == std::string_view::npos)
        return true;
    const std::string_view port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

} // namespace

std::string UpdateServerHost() {
    const char* fromEnvironment = std::getenv("QUILLON_UPDATE_HOST");
    if (fromEnvironment && IsHostAndPort(fromEnvironment))
        return fromEnvironment;
    return QUILLON_DEFAULT_UPDATE_HOST;
}

long ReadLeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (LONG_MAX - digit) / 10)
            return negative ? LONG_MIN : LONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

int CompareVersions(std::string_view a, std::string_view b) {
    for (int dots = 0;;) {
        const long x = ReadLeadingInteger(a);
        const long y = ReadLeadingInteger(b);
        if (x > y)
            return 1;
        if (x < y)
            return -1;
        const std::size_t nextA = a.find('.');
        if (nextA == std::string_view::npos)
            return 0;
        a.remove_prefix(nextA + 1);
        const std::size_t nextB = b.find('.');
        if (nextB == std::string_view::npos)
            return 0;
        b.remove_prefix(nextB + 1);
        if (++dots == 3)
            return 0;
    }
}

int SplitOfferReply(const char* reply, std::size_t size, std::array<std::string_view, 6>& fields) {
    std::string_view text(reply, strnlen(reply, size));
    std::size_t bar = text.find('|');
    int count = 0;
    while (bar != std::string_view::npos && count < 6) {
        const std::size_t begin = bar + 1;
        bar = text.find('|', begin);
        fields[static_cast<std::size_t>(count++)] = text.substr(
            begin, bar == std::string_view::npos ? std::string_view::npos : bar - begin);
    }
    // The text ended before six fields: one more, empty, field is taken at its end.
    if (count < 6)
        fields[static_cast<std::size_t>(count++)] = std::string_view();
    return count;
}

bool RequestUpgradeOffer(MainState& state, const char* type, const char* subtype,
                         UpgradeOffer& offer) {
    const std::string body = std::string("types=") + type + "&subtype=" + subtype;
    const std::string url = "http://" + UpdateServerHost() + kCheckUpgradePath;
    char reply[kOfferReplyCapacity];
    const int stored = HttpRequest(url.c_str(), body.c_str(), static_cast<int>(body.size()), reply,
                                   kOfferReplyCapacity, kOfferTimeoutMs);
    if (stored <= 0)
        return false;
    std::array<std::string_view, 6> fields;
    // A reply that fills the buffer has no end mark: split exactly the bytes stored.
    if (SplitOfferReply(reply, static_cast<std::size_t>(stored), fields) != 6) {
        ShowTextMessage(state, kOfferMalformedMessage);
        return false;
    }
    const auto size32 = [](std::string_view text) {
        const long value = ReadLeadingInteger(text);
        return static_cast<std::int32_t>(value > INT32_MAX   ? INT32_MAX
                                         : value < INT32_MIN ? INT32_MIN
                                                             : value);
    };
    offer.RomVersion = std::string(fields[0].substr(0, 10));
    offer.RomPath = std::string(fields[1]);
    offer.RomSize = size32(fields[2]);
    offer.FlashVersion = std::string(fields[3].substr(0, 10));
    offer.FlashPath = std::string(fields[4]);
    offer.FlashSize = size32(fields[5]);
    return true;
}
