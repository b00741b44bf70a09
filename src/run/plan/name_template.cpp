#include "run/plan/name_template.h"

#include <array>
#include <cstdio>

#include "platform/local_time.h"
#include "run/plan/name_form.h"
#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

LocalDate localDateOf(std::int64_t modifiedNs) {
    constexpr std::int64_t kSecondNs = 1'000'000'000;
    // Rounded down, so that a time before 1970 falls on its own second.
    std::int64_t seconds = modifiedNs / kSecondNs;
    if (modifiedNs % kSecondNs < 0) --seconds;
    return localDateAt(seconds);
}

std::string digits(int value, int width) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%0*d", width, value);
    return text.data();
}

std::string lowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return result;
}

// The extension without its dot, and the name without the extension.
std::string_view extensionWithoutDot(std::string_view name) {
    const std::string_view extension = extensionOf(name);
    return extension.empty() ? extension : extension.substr(1);
}

// Two names that between them leave each field that can come out empty empty once.
constexpr std::array<std::string_view, 2> kNamesToTry = {".x", "x"};

bool leadsOut(std::string_view name) {
    return name == "." || name == "..";
}

}  // namespace

bool NameTemplate::read(std::string_view text, bool nameAllowed, std::string& problem) {
    pieces_.clear();
    literal_.clear();
    usesTime_ = false;
    std::string literal;
    const auto flush = [&] {
        if (literal.empty()) return;
        literal_ += literal;
        pieces_.push_back({std::move(literal), Field::None});
        literal.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
            literal.push_back(c);
            ++i;
            continue;
        }
        if (c != '{') {
            literal.push_back(c);
            continue;
        }
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos) {
            problem = "\"" + std::string(text) + "\" has a \"{\" without its \"}\"";
            return false;
        }
        const std::string field = lowerAscii(text.substr(i + 1, close - i - 1));
        Field which = Field::None;
        if (field == "year") which = Field::Year;
        if (field == "month") which = Field::Month;
        if (field == "day") which = Field::Day;
        if (field == "ext") which = Field::Ext;
        if (field == "name" && nameAllowed) which = Field::Name;
        if (which == Field::None) {
            problem = "\"" + std::string(text) + "\" has the unknown field {" +
                      std::string(text.substr(i + 1, close - i - 1)) + "}; known are {year}, " +
                      "{month}, {day}" + (nameAllowed ? ", {ext} and {name}" : " and {ext}");
            return false;
        }
        flush();
        pieces_.push_back({{}, which});
        usesTime_ =
            usesTime_ || which == Field::Year || which == Field::Month || which == Field::Day;
        i = close;
    }
    flush();
    return true;
}

std::string NameTemplate::filled(const TemplateEntry& entry) const {
    const LocalDate date = usesTime_ ? localDateOf(entry.modifiedNs) : LocalDate{};
    const std::string_view extension = extensionWithoutDot(entry.name);
    std::string result;
    bool literalDot = false;  // the result ends with a "." written in the template
    for (const Piece& piece : pieces_) {
        switch (piece.field) {
            case Field::None:
                result += piece.text;
                break;
            case Field::Year:
                result += digits(date.year, 4);
                break;
            case Field::Month:
                result += digits(date.month, 2);
                break;
            case Field::Day:
                result += digits(date.day, 2);
                break;
            case Field::Ext:
                if (extension.empty() && literalDot) result.pop_back();
                result += lowerAscii(extension);
                break;
            case Field::Name:
                result.append(
                    entry.name.substr(0, entry.name.size() - extensionOf(entry.name).size()));
                break;
        }
        literalDot = piece.field == Field::None && !piece.text.empty() && piece.text.back() == '.';
    }
    return result;
}

bool SubfolderTemplate::read(std::string_view text, std::string& problem) {
    parts_.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view part = text.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        NameTemplate& added = parts_.emplace_back();
        if (!added.read(part, false, problem)) return false;
        for (const std::string_view name : kNamesToTry) {
            const std::string folder = added.filled({name, 0});
            if (leadsOut(folder)) {
                problem = "\"" + std::string(text) + "\" can make the folder \"" + folder +
                          "\", which leads out of the target folder";
                return false;
            }
        }
    }
    return true;
}

std::string SubfolderTemplate::filled(const TemplateEntry& entry) const {
    std::string folders;
    for (const NameTemplate& part : parts_) {
        const std::string folder = fittedName(part.filled(entry));
        if (!folder.empty()) folders.append(folder).push_back('/');
    }
    return folders;
}

bool SubfolderTemplate::usesTime() const {
    for (const NameTemplate& part : parts_) {
        if (part.usesTime()) return true;
    }
    return false;
}

bool RenameTemplate::read(std::string_view text, std::string& problem) {
    if (!template_.read(text, true, problem)) return false;
    if (template_.literalText().find_first_of("/\\") != std::string::npos) {
        problem = "\"" + std::string(text) +
                  "\" holds a \"/\" or \"\\\": a name cannot, folders are made with subfolder";
        return false;
    }
    if (template_.empty()) return true;
    for (const std::string_view name : kNamesToTry) {
        const std::string renamed = template_.filled({name, 0});
        if (renamed.empty() || leadsOut(renamed)) {
            problem =
                "\"" + std::string(text) + "\" can make " +
                (renamed.empty() ? std::string("an empty name") : "the name \"" + renamed + "\"") +
                ", for an entry named \"" + std::string(name) + "\"";
            return false;
        }
    }
    return true;
}

std::string RenameTemplate::filled(const TemplateEntry& entry) const {
    if (template_.empty()) return std::string(entry.name);
    return fittedName(template_.filled(entry));
}

}  // namespace kestrune
