#include "store/profile_text.h"

#include <algorithm>
#include <utility>

namespace kestrune {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool quoted(std::string_view value) {
    return value.size() >= 2 && isQuote(value.front()) && value.front() == value.back();
}

// A value that reading would change (surrounding blanks, enclosing quotes) is written inside
// double quotes, so that it reads back exactly as it was written.
std::string storedValue(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (isBlank(value.front()) || isBlank(value.back()) || quoted(value));
    if (!needsQuotes) return std::string(value);
    return "\"" + std::string(value) + "\"";
}

struct Line {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    std::string_view name;
    std::string_view value;
};

Line parseLine(std::string_view raw) {
    const std::string_view text = trim(raw);
    if (!text.empty() && text.front() == '[') {
        const auto close = text.rfind(']');
        if (close != std::string_view::npos) {
            return {Line::Kind::Section, trim(text.substr(1, close - 1)), {}};
        }
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return {};
    const std::string_view key = trim(text.substr(0, equals));
    if (key.empty()) return {};
    return {Line::Kind::Key, key, trim(text.substr(equals + 1))};
}

bool sameName(std::string_view a, std::string_view b) {
    return profileNameKey(a) == profileNameKey(b);
}

}  // namespace

std::string profileNameKey(std::string_view name) {
    std::string key(trim(name));
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return key;
}

ProfileText::ProfileText(std::string_view text) {
    const auto firstLf = text.find('\n');
    crlf_ = firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r';
    finalLineEnd_ = !text.empty() && text.back() == '\n';
    if (finalLineEnd_) text.remove_suffix(1);
    if (text.empty() && !finalLineEnd_) return;
    for (;;) {
        const auto lf = text.find('\n');
        lines_.emplace_back(text.substr(0, lf));
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
}

std::vector<std::size_t> ProfileText::sectionHeaders(std::string_view section) const {
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line line = parseLine(lines_[i]);
        if (line.kind == Line::Kind::Section && sameName(line.name, section)) headers.push_back(i);
    }
    return headers;
}

std::optional<std::size_t> ProfileText::firstHeader(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line line = parseLine(lines_[i]);
        if (line.kind == Line::Kind::Section && sameName(line.name, section)) return i;
    }
    return std::nullopt;
}

std::size_t ProfileText::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && parseLine(lines_[i]).kind != Line::Kind::Section) ++i;
    return i;
}

std::optional<std::size_t> ProfileText::keyLine(std::string_view section,
                                                std::string_view key) const {
    const auto header = firstHeader(section);
    if (!header) return std::nullopt;
    const std::size_t end = sectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        const Line line = parseLine(lines_[i]);
        if (line.kind == Line::Kind::Key && sameName(line.name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileText::value(std::string_view section,
                                              std::string_view key) const {
    const auto at = keyLine(section, key);
    if (!at) return std::nullopt;
    std::string_view found = parseLine(lines_[*at]).value;
    if (quoted(found)) found = found.substr(1, found.size() - 2);
    return std::string(found);
}

std::vector<std::pair<std::string, std::string>> ProfileText::entries(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> found;
    const auto header = firstHeader(section);
    if (!header) return found;
    const std::size_t end = sectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        const Line line = parseLine(lines_[i]);
        if (line.kind != Line::Kind::Key || keyLine(section, line.name) != i) continue;
        found.emplace_back(std::string(line.name), *value(section, line.name));
    }
    return found;
}

bool ProfileText::hasKeys(std::string_view section) const {
    const auto header = firstHeader(section);
    if (!header) return false;
    const std::size_t end = sectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (parseLine(lines_[i]).kind == Line::Kind::Key) return true;
    }
    return false;
}

// One pass: a section's keys count only under the first header of its name.
std::unordered_set<std::string> ProfileText::sectionsWithKeys() const {
    std::unordered_set<std::string> seen;
    std::unordered_set<std::string> keyed;
    const std::string* current = nullptr;
    for (const std::string& raw : lines_) {
        const Line line = parseLine(raw);
        if (line.kind == Line::Kind::Section) {
            const auto [at, first] = seen.insert(profileNameKey(line.name));
            current = first ? &*at : nullptr;
        } else if (line.kind == Line::Kind::Key && current != nullptr) {
            keyed.insert(*current);
        }
    }
    return keyed;
}

void ProfileText::insertLine(std::size_t at, std::string line) {
    if (crlf_) line += '\r';
    if (at == lines_.size()) finalLineEnd_ = true;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string keyLineText = std::string(trim(key)) + "=" + storedValue(value);
    if (const auto at = keyLine(section, key)) {
        if (!lines_[*at].empty() && lines_[*at].back() == '\r') keyLineText += '\r';
        lines_[*at] = std::move(keyLineText);
        return;
    }
    const auto header = firstHeader(section);
    if (!header) {
        insertLine(lines_.size(), "[" + std::string(trim(section)) + "]");
        insertLine(lines_.size(), std::move(keyLineText));
        return;
    }
    // After the section's last non-blank line, so blank lines keep separating the sections.
    std::size_t last = *header;
    const std::size_t end = sectionEnd(last);
    for (std::size_t i = last + 1; i < end; ++i) {
        if (!trim(lines_[i]).empty()) last = i;
    }
    insertLine(last + 1, std::move(keyLineText));
}

void ProfileText::removeKeys(std::string_view section) {
    const auto header = firstHeader(section);
    if (!header) return;
    const auto begin = lines_.begin() + static_cast<std::ptrdiff_t>(*header + 1);
    const auto end = lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(*header));
    lines_.erase(std::remove_if(begin, end,
                                [](const std::string& line) {
                                    return parseLine(line).kind == Line::Kind::Key;
                                }),
                 end);
}

bool ProfileText::eraseSection(std::string_view section) {
    const auto headers = sectionHeaders(section);
    for (auto it = headers.rbegin(); it != headers.rend(); ++it) {
        const std::size_t end = sectionEnd(*it);
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*it),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return !headers.empty();
}

std::string ProfileText::text() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i];
        if (i + 1 < lines_.size() || finalLineEnd_) out += '\n';
    }
    return out;
}

}  // namespace kestrune
