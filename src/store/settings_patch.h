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

    // Takes the change back in the text, found by the bytes around it. False, the text
    // unchanged, when it no longer holds the changed stretch in its old surroundings, or holds
    // it twice.
    bool revertIn(std::string& text) const;

  private:
    bool fitsAt(const std::string& text, std::size_t at) const;
    std::optional<std::size_t> placeIn(const std::string& text) const;

    std::size_t offset_ = 0;
    std::string removed_;
    std::string added_;
    std::string leading_;   // the bytes just before the stretch
    std::string trailing_;  // the bytes just after it
    // The stretch ended the text, so it fits only where it still ends it: lines added after it
    // since belong to the section before it (a stretch is whole sections and keys), and one
    // that ended without a line end would run into the line after it.
    bool endsText_ = false;
};

}  // namespace kestrune
