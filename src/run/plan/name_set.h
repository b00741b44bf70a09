#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// A set of names or paths, as planning keeps for every entry and folder of a run: they are
// kept end to end in one buffer and found by their hash in an open table, so adding one
// makes no allocation of its own, and emptying the set, done once a target folder, touches
// nothing.
class NameSet {
  public:
    // Adds the name; false when it was there already.
    bool insert(std::string_view name);
    bool contains(std::string_view name) const;
    void clear();
    std::size_t size() const { return size_; }

  private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        std::uint32_t generation = 0;  // the slot is used when it equals the set's
    };

    void grow();
    std::size_t find(std::string_view name, std::uint64_t hash) const;

    std::string names_;
    std::vector<Slot> slots_;  // a power of two of them, at most half used
    std::size_t size_ = 0;
    std::uint32_t generation_ = 1;
};

}  // namespace kestrune
