#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kestrune {

// One change of the settings file's bytes, kept as the stretch it replaced and the bytes
// around it, so that it can be taken back exactly even after other writes moved it.
class SettingsPatch {
  public:
    // The one stretch in which the two texts differ.
    static SettingsPatch between(const std::string& before, const std::string& after);

    bool empty() const { return removed_.empty() && added_.empty(); }
    // The bytes the change took out.
    const std::string& removed() const { return removed_; }

    // The text with the change taken back, found by the bytes around it; nullopt when the
    // text no longer holds the changed stretch in its old surroundings, or holds it twice.
    std::optional<std::string> revertedIn(const std::string& text) const;

  private:
    bool fitsAt(const std::string& text, std::size_t at) const;

    std::size_t offset_ = 0;
    std::string removed_;
    std::string added_;
    std::string leading_;   // the bytes just before the stretch
    std::string trailing_;  // the bytes just after it
};

}  // namespace kestrune
