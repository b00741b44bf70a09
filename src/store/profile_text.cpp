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

std::string_view unquoted(std::string_view value) {
    return quoted(value) ? value.substr(1, value.size() - 2) : value;
}

// A value that reading would change (surrounding blanks, enclosing quotes) is written inside
// double quotes, so that it reads back exactly as it was written.
std::string storedValue(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (isBlank(value.front()) || isBlank(value.back()) || quoted(value));
    if (!needsQuotes) return std::string(value);
    std::string stored = "\"";
    return stored.append(value).append("\"");
}

struct Line {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    std::string_view name;
    std::optional<std::string_view> value;  // none for a key line without "="
};

Line parseLine(std::string_view raw) {
    const std::string_view text = trim(raw);
    if (text.empty() || text.front() == ';') return {};
    if (text.front() == '[') {
        const auto close = text.rfind(']');
        if (close != std::string_view::npos) {
            return {Line::Kind::Section, trim(text.substr(1, close - 1)), {}};
        }
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return {Line::Kind::Key, text, std::nullopt};
    return {Line::Kind::Key, trim(text.substr(0, equals)), trim(text.substr(equals + 1))};
}

// The key as a line of its own that reads as the key read: its value written back as
// set() writes one, or its name alone.
std::string keyLineOf(const Line& line) {
    std::string text(line.name);
    if (line.value) text.append("=").append(storedValue(unquoted(*line.value)));
    return text;
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
        std::string raw(text.substr(0, lf));
        const Line line = parseLine(raw);
        if (line.kind == Line::Kind::Section) {
            byName_[profileNameKey(line.name)].push_back(sections_.size());
            sections_.push_back({std::move(raw), {}, {}, false});
        } else if (sections_.empty()) {
            preamble_.push_back(std::move(raw));
        } else {
            Section& section = sections_.back();
            if (line.kind == Line::Kind::Key) {
                section.keys.try_emplace(profileNameKey(line.name), section.lines.size());
            }
            section.lines.push_back(std::move(raw));
        }
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
}

const ProfileText::Section* ProfileText::find(std::string_view section) const {
    const auto it = byName_.find(profileNameKey(section));
    return it == byName_.end() ? nullptr : &sections_[it->second.front()];
}

ProfileText::Section& ProfileText::findOrAdd(std::string_view section) {
    const std::string name = profileNameKey(section);
    if (const auto it = byName_.find(name); it != byName_.end()) {
        return sections_[it->second.front()];
    }
    byName_[name].push_back(sections_.size());
    std::string header = "[";
    header.append(trim(section)).append(crlf_ ? "]\r" : "]");
    finalLineEnd_ = true;
    return sections_.emplace_back(Section{std::move(header), {}, {}, false});
}

bool ProfileText::isLast(const Section& section) const {
    for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
        if (!it->erased) return &*it == &section;
    }
    return false;
}

std::optional<std::string> ProfileText::value(std::string_view section,
                                              std::string_view key) const {
    const Section* found = find(section);
    if (found == nullptr) return std::nullopt;
    const auto at = found->keys.find(profileNameKey(key));
    if (at == found->keys.end()) return std::nullopt;
    const Line line = parseLine(found->lines[at->second]);
    if (!line.value) return std::nullopt;
    return std::string(unquoted(*line.value));
}

bool ProfileText::hasKeys(std::string_view section) const {
    const Section* found = find(section);
    return found != nullptr && !found->keys.empty();
}

std::unordered_set<std::string> ProfileText::sectionsWithKeys() const {
    std::unordered_set<std::string> keyed;
    for (const auto& [name, sections] : byName_) {
        if (!sections_[sections.front()].keys.empty()) keyed.insert(name);
    }
    return keyed;
}

// A line added after the section's last non-blank line moves only blank lines, which are no
// keys, so the index of the section's keys stays right.
void ProfileText::putKeyLine(Section& section, const std::string& nameKey, std::string line) {
    if (const auto it = section.keys.find(nameKey); it != section.keys.end()) {
        std::string& old = section.lines[it->second];
        if (!old.empty() && old.back() == '\r') line += '\r';
        old = std::move(line);
        return;
    }
    if (crlf_) line += '\r';
    std::size_t at = section.lines.size();
    while (at > 0 && trim(section.lines[at - 1]).empty()) --at;
    if (at == section.lines.size() && isLast(section)) finalLineEnd_ = true;
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    section.keys.emplace(nameKey, at);
}

void ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
    putKeyLine(findOrAdd(section), profileNameKey(key),
               std::string(trim(key)) + "=" + storedValue(value));
}

void ProfileText::removeKeys(Section& section) {
    std::erase_if(section.lines,
                  [](const std::string& line) { return parseLine(line).kind == Line::Kind::Key; });
    section.keys.clear();
}

bool ProfileText::copySection(std::string_view from, std::string_view to) {
    if (profileNameKey(from) == profileNameKey(to)) return false;
    const Section* source = find(from);
    if (source == nullptr || source->keys.empty()) return false;
    // Gathered first: adding the section `to` may move the sections about.
    std::vector<std::pair<std::string, std::string>> copied;
    for (std::size_t i = 0; i < source->lines.size(); ++i) {
        const Line line = parseLine(source->lines[i]);
        if (line.kind != Line::Kind::Key) continue;
        std::string name = profileNameKey(line.name);
        if (source->keys.at(name) == i) copied.emplace_back(std::move(name), keyLineOf(line));
    }
    Section& target = findOrAdd(to);
    removeKeys(target);
    for (auto& [name, line] : copied) putKeyLine(target, name, std::move(line));
    return true;
}

// Only the sections' own bytes go: the line before a section that ended the text keeps its
// line end, so that what was taken out is whole lines that can stand anywhere.
bool ProfileText::eraseSection(std::string_view section) {
    const auto it = byName_.find(profileNameKey(section));
    if (it == byName_.end()) return false;
    if (isLast(sections_[it->second.back()])) finalLineEnd_ = true;
    for (const std::size_t at : it->second) sections_[at] = Section{{}, {}, {}, true};
    byName_.erase(it);
    return true;
}

std::string ProfileText::text() const {
    std::string out;
    bool first = true;
    const auto put = [&](const std::string& line) {
        if (!first) out += '\n';
        out += line;
        first = false;
    };
    for (const std::string& line : preamble_) put(line);
    for (const Section& section : sections_) {
        if (section.erased) continue;
        put(section.header);
        for (const std::string& line : section.lines) put(line);
    }
    if (!first && finalLineEnd_) out += '\n';
    return out;
}

}  // namespace kestrune
