#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kestrune {

// The text of Setting.cfg as its lines, with the profile-file rules for finding and changing
// values. Names match after dropping surrounding blanks, without regard to ASCII letter case.
// Lines that are neither a section header nor a key line are kept untouched. Of sections that
// share a name only the first counts, and of keys repeated in it only the first: reading,
// the existence test and writing all look there, and a later one is neither read nor changed.
class ProfileText {
  public:
    explicit ProfileText(std::string_view text);

    // The value without surrounding blanks and without one pair of enclosing quotes.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // The section's keys in file order, each with its value as value() reads it.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;
    bool hasKeys(std::string_view section) const;
    // The names (as profileNameKey gives them) of every section that holds a key.
    std::unordered_set<std::string> sectionsWithKeys() const;

    // Rewrites an existing key in place, else adds it at the end of its section, else adds the
    // section at the end of the text.
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key lines of the section, keeping its header and any other line.
    void removeKeys(std::string_view section);
    // Removes every section of that name with all its lines, so that no later one of the
    // same name comes to light. False when there was none.
    bool eraseSection(std::string_view section);

    std::string text() const;

  private:
    std::size_t sectionEnd(std::size_t header) const;
    std::vector<std::size_t> sectionHeaders(std::string_view section) const;
    std::optional<std::size_t> firstHeader(std::string_view section) const;
    std::optional<std::size_t> keyLine(std::string_view section, std::string_view key) const;
    void insertLine(std::size_t at, std::string line);

    // Each line without its LF; a CR before the LF stays, so untouched lines keep their bytes.
    std::vector<std::string> lines_;
    bool finalLineEnd_ = false;
    bool crlf_ = false;  // the line end that new lines get: the file's own
};

// How the settings file compares section and key names.
std::string profileNameKey(std::string_view name);

}  // namespace kestrune
