#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// What a template is filled from: the entry's name and its modification time.
struct TemplateEntry {
    std::string_view name;
    std::int64_t modifiedNs = 0;
};

// Text with fields in braces: {year}, {month}, {day} (the modification time in local time;
// 4, 2 and 2 digits), {ext} (the extension in lower case without its dot; nothing when there
// is none) and, where allowed, {name} (the name without its extension). "{{" and "}}" stand
// for a brace itself. Field names take any letter case.
class NameTemplate {
  public:
    // False, with the reason in `problem`, for an unknown field or an unclosed brace.
    bool read(std::string_view text, bool nameAllowed, std::string& problem);
    // A "." right before an {ext} that comes out empty goes with it: "{name}.{ext}" gives
    // "notes" for a name without an extension.
    std::string filled(const TemplateEntry& entry) const;
    bool usesTime() const { return usesTime_; }
    bool empty() const { return pieces_.empty(); }
    // The letters written outside the fields.
    const std::string& literalText() const { return literal_; }

  private:
    enum class Field : std::uint8_t { None, Year, Month, Day, Ext, Name };
    struct Piece {
        std::string text;  // when field is None
        Field field = Field::None;
    };

    std::vector<Piece> pieces_;
    std::string literal_;
    bool usesTime_ = false;
};

// The `subfolder` key: folders made below the target, "/" or "\" between them; a folder
// that comes out empty is dropped.
class SubfolderTemplate {
  public:
    // False, with the reason, for a template that is not readable or could make a "." or
    // ".." folder, which would lead outside the target.
    bool read(std::string_view text, std::string& problem);
    // The folders for that entry, each followed by "/": "2026/12/"; "" without a template.
    std::string filled(const TemplateEntry& entry) const;
    bool usesTime() const;
    bool empty() const { return parts_.empty(); }

  private:
    std::vector<NameTemplate> parts_;
};

// The `rename` key: the entry's new name, fitted to the longest name a folder takes.
class RenameTemplate {
  public:
    // False, with the reason, for a template that is not readable, holds "/" or "\", or
    // could give an empty name, "." or "..".
    bool read(std::string_view text, std::string& problem);
    // The new name; the entry's own name without a template.
    std::string filled(const TemplateEntry& entry) const;
    bool usesTime() const { return template_.usesTime(); }
    bool empty() const { return template_.empty(); }

  private:
    NameTemplate template_;
};

}  // namespace kestrune
