#include "run/plan/name_set.h"

#include <functional>

namespace kestrune {

namespace {

constexpr std::size_t kFirstSlots = 64;

}  // namespace

// The slot holding the name, or the free slot where it belongs.
std::size_t NameSet::find(std::string_view name, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.generation != generation_) return at;
        if (slot.hash == hash && slot.length == name.size() &&
            std::string_view(names_).substr(slot.offset, slot.length) == name) {
            return at;
        }
    }
}

bool NameSet::insert(std::string_view name) {
    if ((size_ + 1) * 2 > slots_.size()) grow();
    const std::uint64_t hash = std::hash<std::string_view>{}(name);
    Slot& slot = slots_[find(name, hash)];
    if (slot.generation == generation_) return false;
    slot = {hash, static_cast<std::uint32_t>(names_.size()),
            static_cast<std::uint32_t>(name.size()), generation_};
    names_.append(name);
    ++size_;
    return true;
}

bool NameSet::contains(std::string_view name) const {
    if (slots_.empty()) return false;
    return slots_[find(name, std::hash<std::string_view>{}(name))].generation == generation_;
}

void NameSet::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? kFirstSlots : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
        if (slot.generation != generation_) continue;
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = slot.hash & mask;
        while (slots_[at].generation == generation_) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

// A new generation makes every slot free at once; only when the count wraps are the slots
// written over.
void NameSet::clear() {
    names_.clear();
    size_ = 0;
    if (++generation_ == 0) {
        slots_.assign(slots_.size(), Slot{});
        generation_ = 1;
    }
}

}  // namespace kestrune
