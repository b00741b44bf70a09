#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrune {

// The text of Setting.cfg as its lines, with the profile-file rules for finding and changing
// values. One reading indexes every section and key, so that a lookup is a hash and a section's
// keys are found without looking at the rest of the file.
//
// The lines, read as the platform's profile functions read them:
// - "[name]" (a "[" first and a "]" after it) opens a section;
// - a blank line, and one whose first character is ";" (a comment), is no key;
// - every other line under a section is a key: "name=value"; "=value", a key with an empty
//   name; or a name alone, a key without a value, which reads as absent;
// - lines before the first section belong to none.
// Names match after dropping surrounding blanks, without regard to ASCII letter case. Of
// sections that share a name only the first counts, and of keys repeated in it only the first
// (with a value or not): reading, the existence test and writing all look there, and a later
// one is neither read nor changed. A line keeps its bytes until it is changed itself.
class ProfileText {
  public:
    explicit ProfileText(std::string_view text);

    // The value without surrounding blanks and without one pair of enclosing quotes; nullopt
    // when the section or the key is missing or the key has no value.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasKeys(std::string_view section) const;
    // The names (as profileNameKey gives them) of every section that holds a key.
    std::unordered_set<std::string> sectionsWithKeys() const;

    // Rewrites an existing key in place (one without a value too), else adds it at the end of
    // its section, else adds the section at the end of the text.
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Makes the section `to` hold exactly the keys of `from` as they read: each key's first
    // line, a key without a value staying one. The other lines of `to` stay. False, changing
    // nothing, when `from` holds no key or names the same section.
    bool copySection(std::string_view from, std::string_view to);
    // Removes every section of that name with all its lines, so that no later one of the
    // same name comes to light. False when there was none.
    bool eraseSection(std::string_view section);

    std::string text() const;

  private:
    struct Section {
        std::string header;              // the header line as it stands
        std::vector<std::string> lines;  // the lines under it, up to the next header
        // Each key's first line in `lines`, by its name as profileNameKey gives it.
        std::unordered_map<std::string, std::size_t> keys;
        bool erased = false;  // an erased section is no longer part of the text
    };

    const Section* find(std::string_view section) const;
    Section& findOrAdd(std::string_view section);
    bool isLast(const Section& section) const;
    // Puts the key line in place of the key's first line, else after the section's last
    // non-blank line.
    void putKeyLine(Section& section, const std::string& nameKey, std::string line);
    void removeKeys(Section& section);

    std::vector<std::string> preamble_;  // the lines before the first header
    std::vector<Section> sections_;      // in file order
    // Every section of a name, in file order; the first is the one that counts.
    std::unordered_map<std::string, std::vector<std::size_t>> byName_;
    // Each line is kept without its LF; a CR before the LF stays, so untouched lines keep their
    // bytes.
    bool finalLineEnd_ = false;
    bool crlf_ = false;  // the line end that new lines get: the file's own
};

// How the settings file compares section and key names.
std::string profileNameKey(std::string_view name);

}  // namespace kestrune
