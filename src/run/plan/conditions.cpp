#include "run/plan/conditions.h"

#include <limits>

namespace kestrune {

namespace {

constexpr std::int64_t kSecondNs = 1'000'000'000;

// The leading digits as a number; nullopt when there are none or it does not fit.
std::optional<std::uint64_t> leadingNumber(std::string_view& text) {
    std::size_t digits = 0;
    std::uint64_t number = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        const auto digit = static_cast<std::uint64_t>(text[digits] - '0');
        if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
        number = number * 10 + digit;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    text.remove_prefix(digits);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return number;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::uint64_t> readSize(std::string_view text, std::string& problem) {
    const std::string_view written = text;
    const auto fail = [&](const std::string& why) {
        problem = quoted(written) + " is no size: " + why;
        return std::nullopt;
    };
    if (text.empty() || !isDigit(text.front())) {
        return fail(
            "a whole number of bytes is needed, with K, M, G or T after it for "
            "KiB, MiB, GiB or TiB, as in 10M");
    }
    const std::optional<std::uint64_t> number = leadingNumber(text);
    if (!number) return fail("the number is too large");
    int shift = 0;
    if (text.size() == 1) {
        switch (text.front()) {
            case 'K':
            case 'k':
                shift = 10;
                break;
            case 'M':
            case 'm':
                shift = 20;
                break;
            case 'G':
            case 'g':
                shift = 30;
                break;
            case 'T':
            case 't':
                shift = 40;
                break;
            default:
                return fail("the unit is K, M, G or T");
        }
    } else if (!text.empty()) {
        return fail("the unit is K, M, G or T");
    }
    if (*number > (std::numeric_limits<std::uint64_t>::max() >> shift)) {
        return fail("it is too large");
    }
    return *number << shift;
}

std::optional<std::int64_t> readAge(std::string_view text, std::string& problem) {
    const std::string_view written = text;
    const auto fail = [&](const std::string& why) {
        problem = quoted(written) + " is no time span: " + why;
        return std::nullopt;
    };
    constexpr const char* kUnits = "the unit is m (minutes), h (hours), d (days) or w (weeks)";
    if (text.empty() || !isDigit(text.front())) {
        return fail(std::string("a whole number is needed, then ") + kUnits + ", as in 30d");
    }
    const std::optional<std::uint64_t> number = leadingNumber(text);
    if (!number) return fail("the number is too large");
    if (text.size() != 1) return fail(kUnits);
    std::int64_t seconds = 0;
    // "M" could be months as well as minutes: it is not taken.
    switch (text.front()) {
        case 'm':
            seconds = 60;
            break;
        case 'h':
        case 'H':
            seconds = 3600;
            break;
        case 'd':
        case 'D':
            seconds = 86400;
            break;
        case 'w':
        case 'W':
            seconds = 7 * 86400;
            break;
        case 'M':
            return fail(std::string(kUnits) + "; \"M\" is not taken, as it could mean months");
        default:
            return fail(kUnits);
    }
    constexpr auto kMost = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (*number > kMost / static_cast<std::uint64_t>(seconds * kSecondNs)) {
        return fail("it is too long");
    }
    return static_cast<std::int64_t>(*number) * seconds * kSecondNs;
}

PassedOver Conditions::byName(std::string_view name, EntryType type) const {
    if (!names.empty() && !names.matchesAny(name)) return PassedOver::Name;
    const bool sized = minSize || maxSize;
    if (type == EntryType::Folder && (filesOnly || sized)) return PassedOver::Folder;
    if (type == EntryType::Link && sized) return PassedOver::Link;
    return PassedOver::None;
}

PassedOver Conditions::byIdentity(const EntryIdentity& identity, std::int64_t nowNs) const {
    if (minSize && identity.size < *minSize) return PassedOver::Smaller;
    if (maxSize && identity.size > *maxSize) return PassedOver::Larger;
    if (olderThanNs && identity.modifiedNs > nowNs - *olderThanNs) return PassedOver::Newer;
    if (newerThanNs && identity.modifiedNs <= nowNs - *newerThanNs) return PassedOver::Older;
    return PassedOver::None;
}

std::string Conditions::reason(PassedOver why) const {
    switch (why) {
        case PassedOver::None:
            return {};
        case PassedOver::Special:
            return "not a file, folder or link";
        case PassedOver::Temporary:
            return "a run's temporary copy";
        case PassedOver::Target:
            return "the target folder";
        case PassedOver::Excluded:
            return "excluded";
        case PassedOver::Extension:
            return "extension";
        case PassedOver::Name:
            return "name";
        case PassedOver::Folder:
            return "a folder";
        case PassedOver::Link:
            return "a link";
        case PassedOver::Smaller:
            return "smaller than " + minSizeText;
        case PassedOver::Larger:
            return "larger than " + maxSizeText;
        case PassedOver::Newer:
            return "newer than " + olderThanText;
        case PassedOver::Older:
            return "older than " + newerThanText;
    }
    return {};
}

}  // namespace kestrune
