#include "store/settings_patch.h"

#include <algorithm>

namespace kestrune {

namespace {

// Enough of the neighbouring lines to tell one place in a settings file from another.
constexpr std::size_t kContext = 96;

}  // namespace

// The stretch is widened to whole lines, so that what it took out is whole sections and keys
// that can stand anywhere in the file.
SettingsPatch SettingsPatch::between(const std::string& before, const std::string& after) {
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    while (prefix > 0 && before[prefix - 1] != '\n') --prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    const auto startsLine = [&](const std::string& text, std::size_t kept) {
        const std::size_t at = text.size() - kept;
        return at == prefix || text[at - 1] == '\n';
    };
    while (suffix > 0 && !(startsLine(before, suffix) && startsLine(after, suffix))) --suffix;
    SettingsPatch patch;
    patch.offset_ = prefix;
    patch.removed_ = before.substr(prefix, before.size() - prefix - suffix);
    patch.added_ = after.substr(prefix, after.size() - prefix - suffix);
    const std::size_t lead = std::min(prefix, kContext);
    patch.leading_ = after.substr(prefix - lead, lead);
    patch.trailing_ = after.substr(after.size() - suffix, std::min(suffix, kContext));
    patch.endsText_ = suffix == 0;
    return patch;
}

bool SettingsPatch::fitsAt(const std::string& text, std::size_t at) const {
    if (at < leading_.size() || at + added_.size() + trailing_.size() > text.size()) return false;
    if (endsText_ && at + added_.size() != text.size()) return false;
    return text.compare(at - leading_.size(), leading_.size(), leading_) == 0 &&
           text.compare(at, added_.size(), added_) == 0 &&
           text.compare(at + added_.size(), trailing_.size(), trailing_) == 0;
}

// Where the changed stretch stands now: at its old offset, else the one place that holds it
// in its old surroundings.
std::optional<std::size_t> SettingsPatch::placeIn(const std::string& text) const {
    if (fitsAt(text, offset_)) return offset_;
    std::optional<std::size_t> found;
    const std::string whole = leading_ + added_ + trailing_;
    for (std::size_t at = text.find(whole); at != std::string::npos;
         at = text.find(whole, at + 1)) {
        if (!fitsAt(text, at + leading_.size())) continue;
        if (found) return std::nullopt;
        found = at + leading_.size();
    }
    return found;
}

bool SettingsPatch::revertIn(std::string& text) const {
    const std::optional<std::size_t> at = placeIn(text);
    if (!at) return false;
    text.replace(*at, added_.size(), removed_);
    return true;
}

}  // namespace kestrune
