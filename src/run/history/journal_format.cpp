#include "run/history/journal_format.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "run/history/line_fields.h"

namespace kestrune::journal {

namespace {

using Clock = std::chrono::system_clock;

// The calendar of <chrono> rather than the C library's, which has no portable UTC functions.
std::tm utc(Clock::time_point when) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(when);
    const auto days = std::chrono::floor<std::chrono::days>(seconds);
    const std::chrono::year_month_day date(days);
    const std::chrono::hh_mm_ss time(seconds - days);
    std::tm parts{};
    parts.tm_year = static_cast<int>(date.year()) - 1900;
    parts.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    parts.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    parts.tm_hour = static_cast<int>(time.hours().count());
    parts.tm_min = static_cast<int>(time.minutes().count());
    parts.tm_sec = static_cast<int>(time.seconds().count());
    return parts;
}

const char* typeWord(EntryType type) {
    switch (type) {
        case EntryType::File:
            return "file";
        case EntryType::Folder:
            return "folder";
        case EntryType::Link:
            return "link";
        case EntryType::Other:
            return "other";
    }
    return "other";
}

std::optional<EntryType> typeFromWord(const std::string& word) {
    for (const EntryType type :
         {EntryType::File, EntryType::Folder, EntryType::Link, EntryType::Other}) {
        if (word == typeWord(type)) return type;
    }
    return std::nullopt;
}

template <class Number>
bool parse(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && at == end && !text.empty();
}

}  // namespace

std::string runIdAt(Clock::time_point when) {
    const std::tm parts = utc(when);
    char text[40];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &parts);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                            when - std::chrono::floor<std::chrono::seconds>(when))
                            .count();
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%06lldZ", static_cast<long long>(micros));
    return std::string(text) + fraction;
}

std::string isoTime(Clock::time_point when) {
    const std::tm parts = utc(when);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::optional<Clock::time_point> timeFromIso(const std::string& text) {
    int year = 0;
    unsigned month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    char zone = 0;
    int length = 0;
    if (std::sscanf(text.c_str(), "%d-%u-%uT%d:%d:%d%c%n", &year, &month, &day, &hour, &minute,
                    &second, &zone, &length) != 7 ||
        zone != 'Z' || static_cast<std::size_t>(length) != text.size()) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                           std::chrono::day(day)};
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 60) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
           std::chrono::seconds(second);
}

void appendIdentity(std::string& line, const EntryIdentity& identity) {
    for (const std::uint64_t number : {identity.device, identity.inode}) {
        line.append("\t").append(std::to_string(number));
    }
    line.append("\t").append(typeWord(identity.type));
    line.append("\t").append(std::to_string(identity.size));
    line.append("\t").append(std::to_string(identity.modifiedNs));
    line.append("\t").append(std::to_string(identity.changedNs));
}

bool readIdentity(const std::vector<std::string>& fields, std::size_t at, EntryIdentity& identity) {
    if (fields.size() < at + kIdentityFields) return false;
    const std::optional<EntryType> type = typeFromWord(fields[at + 2]);
    if (!type) return false;
    identity.type = *type;
    return parse(fields[at], identity.device) && parse(fields[at + 1], identity.inode) &&
           parse(fields[at + 3], identity.size) && parse(fields[at + 4], identity.modifiedNs) &&
           parse(fields[at + 5], identity.changedNs);
}

std::optional<StepStatus> statusFromWord(const std::string& word) {
    for (const StepStatus status : {StepStatus::Planned, StepStatus::Merged, StepStatus::Same,
                                    StepStatus::Busy, StepStatus::Done, StepStatus::Failed}) {
        if (word == statusWord(status)) return status;
    }
    return std::nullopt;
}

bool readNumber(const std::string& text, std::uint64_t& value) {
    return parse(text, value);
}

bool readNumber(const std::string& text, std::int64_t& value) {
    return parse(text, value);
}

}  // namespace kestrune::journal
