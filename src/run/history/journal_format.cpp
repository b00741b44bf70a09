#include "run/history/journal_format.h"

#include <zlib.h>

#include <algorithm>
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

template <class Number>
void appendNumber(std::string& text, Number number) {
    char digits[24];
    digits[0] = '\t';
    const auto [end, error] = std::to_chars(digits + 1, digits + sizeof digits, number);
    text.append(digits, static_cast<std::size_t>(end - digits));
}

constexpr std::size_t kChecksumDigits = 8;

unsigned long checksum(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // crc32() takes a length of type uInt: a longer line goes in parts.
    constexpr std::size_t kPart = std::size_t{1} << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kPart) {
        const std::size_t size = std::min(kPart, bytes.size() - at);
        crc =
            crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(size));
    }
    return crc;
}

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
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

std::string nameOf(const std::string& path) {
    const std::size_t file = path.find_last_of('/');
    if (file == std::string::npos || file == 0) return path;
    const std::size_t folder = path.find_last_of('/', file - 1);
    return folder == std::string::npos ? path : path.substr(folder + 1);
}

std::string versionLine(int version) {
    return std::string(kMagic) + "\t" + std::to_string(version);
}

std::optional<int> versionOf(std::string_view firstLine) {
    if (firstLine.size() <= kMagic.size() + 1 || firstLine.substr(0, kMagic.size()) != kMagic ||
        firstLine[kMagic.size()] != '\t') {
        return std::nullopt;
    }
    const std::string_view number = firstLine.substr(kMagic.size() + 1);
    int version = 0;
    const auto [at, error] = std::from_chars(number.data(), number.data() + number.size(), version);
    if (error != std::errc() || at != number.data() + number.size() || version < 1) {
        return std::nullopt;
    }
    return version;
}

std::size_t beginRecord(std::string& text, std::string_view tagName) {
    const std::size_t start = text.size();
    text.append(tagName);
    return start;
}

void addField(std::string& text, std::string_view field) {
    text += '\t';
    appendField(text, field);
}

void addNumber(std::string& text, std::uint64_t number) {
    appendNumber(text, number);
}

void addNumber(std::string& text, std::int64_t number) {
    appendNumber(text, number);
}

void addIdentity(std::string& text, const EntryIdentity& identity) {
    addNumber(text, identity.device);
    addNumber(text, identity.inode);
    text.append("\t").append(typeWord(identity.type));
    addNumber(text, identity.size);
    addNumber(text, identity.modifiedNs);
    addNumber(text, identity.changedNs);
}

void addShape(std::string& text, const FolderShape& shape) {
    addNumber(text, std::uint64_t{shape.mode});
    addNumber(text, shape.accessedNs);
    addNumber(text, shape.modifiedNs);
}

void sealRecord(std::string& text, std::size_t start, int version) {
    if (version >= 2) {
        unsigned long crc = checksum(std::string_view(text).substr(start));
        char hex[kChecksumDigits + 1];
        hex[0] = '\t';
        for (std::size_t digit = kChecksumDigits; digit > 0; --digit, crc >>= 4) {
            hex[digit] = "0123456789abcdef"[crc & 0xf];
        }
        text.append(hex, sizeof hex);
    }
    text += '\n';
}

std::optional<std::string_view> recordOf(std::string_view line, int version) {
    if (version < 2) return line;
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos || line.size() - tab - 1 != kChecksumDigits) {
        return std::nullopt;
    }
    unsigned long written = 0;
    for (const char digit : line.substr(tab + 1)) {
        const int value = hexValue(digit);
        if (value < 0) return std::nullopt;
        written = written << 4 | static_cast<unsigned long>(value);
    }
    const std::string_view record = line.substr(0, tab);
    if (checksum(record) != written) return std::nullopt;
    return record;
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

bool readShape(const std::vector<std::string>& fields, std::size_t at, FolderShape& shape) {
    return fields.size() >= at + kShapeFields && parse(fields[at], shape.mode) &&
           parse(fields[at + 1], shape.accessedNs) && parse(fields[at + 2], shape.modifiedNs);
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
