#include "run/plan/run_plan.h"

#include <stdexcept>

namespace kestrune {

const char* actionWord(Action action) {
    switch (action) {
        case Action::Move:
            return "move";
        case Action::Copy:
            return "copy";
        case Action::Delete:
            return "delete";
        case Action::Trash:
            return "trash";
        case Action::PutBack:
            return "put back";
        case Action::RemoveCopy:
            return "remove copy";
        case Action::Place:
            return "place";
        case Action::None:
            break;
    }
    return "none";
}

const char* statusWord(StepStatus status) {
    switch (status) {
        case StepStatus::Planned:
            return "planned";
        case StepStatus::Merged:
            return "merged";
        case StepStatus::Same:
            return "same";
        case StepStatus::Busy:
            return "busy";
        case StepStatus::Done:
            return "ok";
        case StepStatus::Failed:
            return "failed";
    }
    return "failed";
}

namespace {

constexpr std::size_t kNamesPiece = 1 << 20;

// Where a path's name begins: after its last "/".
std::size_t nameStart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

StepList::StepList(std::initializer_list<PlanStep> steps) {
    for (const PlanStep& step : steps) push_back(step);
}

std::uint32_t StepList::folderIndex(std::string_view folder, std::uint32_t& last) {
    if (last != kNoFolder && folders_[last] == folder) return last;
    const auto [found, added] =
        folderIndex_.try_emplace(std::string(folder), static_cast<std::uint32_t>(folders_.size()));
    if (added) folders_.emplace_back(folder);
    last = found->second;
    return last;
}

// A name goes into the latest piece while it has room; a piece is never moved, so the names
// of a million steps cost no copy as they grow.
std::uint64_t StepList::addName(std::string_view name) {
    if (names_.empty() || names_.back().capacity() - names_.back().size() < name.size()) {
        names_.emplace_back().reserve(std::max(kNamesPiece, name.size()));
    }
    std::string& piece = names_.back();
    const std::uint64_t at = (static_cast<std::uint64_t>(names_.size() - 1) << 32) | piece.size();
    piece.append(name);
    return at;
}

std::string_view StepList::nameAt(std::uint64_t at, std::uint32_t length) const {
    return std::string_view(names_[at >> 32]).substr(at & 0xffffffffU, length);
}

StepList::Packed StepList::pack(const PlanStep& step) {
    Packed packed;
    packed.identity = step.identity;
    packed.nameSeed = step.nameSeed;
    packed.nameDraws = step.nameDraws;
    packed.action = step.action;
    packed.status = step.status;
    const std::string_view source(step.source);
    const std::size_t sourceAt = nameStart(source);
    packed.sourceFolder = folderIndex(source.substr(0, sourceAt), lastSource_);
    packed.sourceLength = static_cast<std::uint32_t>(source.size() - sourceAt);
    packed.sourceName = addName(source.substr(sourceAt));
    packed.targetFolder = kNoFolder;
    if (step.target.empty()) return packed;
    const std::string_view target(step.target);
    const std::size_t targetAt = nameStart(target);
    packed.targetFolder = folderIndex(target.substr(0, targetAt), lastTarget_);
    packed.targetLength = static_cast<std::uint32_t>(target.size() - targetAt);
    packed.targetName = target.substr(targetAt) == source.substr(sourceAt)
                            ? packed.sourceName
                            : addName(target.substr(targetAt));
    return packed;
}

void StepList::keepExtras(std::size_t index, const PlanStep& step) {
    if (step.error.empty()) {
        errors_.erase(index);
    } else {
        errors_[index] = step.error;
    }
    if (step.origin != kNoOrigin && origins_.size() <= index) origins_.resize(size_, kNoOrigin);
    if (index < origins_.size()) origins_[index] = step.origin;
}

void StepList::push_back(const PlanStep& step) {
    if (size_ % kBlock == 0) blocks_.emplace_back().reserve(kBlock);
    blocks_.back().push_back(pack(step));
    ++size_;
    if (!origins_.empty()) origins_.push_back(kNoOrigin);
    keepExtras(size_ - 1, step);
}

void StepList::set(std::size_t index, const PlanStep& step) {
    packed(index) = pack(step);
    keepExtras(index, step);
}

void StepList::markBusy(std::size_t index) {
    Packed& step = packed(index);
    step.status = StepStatus::Busy;
    step.targetFolder = kNoFolder;
    step.nameDraws = 0;
    step.nameSeed = 0;
}

StepStatus StepList::status(std::size_t index) const {
    return packed(index).status;
}

PlanStep StepList::operator[](std::size_t index) const {
    const Packed& packed = this->packed(index);
    PlanStep step;
    step.action = packed.action;
    step.status = packed.status;
    step.identity = packed.identity;
    step.nameDraws = packed.nameDraws;
    step.nameSeed = packed.nameSeed;
    const std::string& sourceFolder = folders_[packed.sourceFolder];
    const std::string_view sourceName = nameAt(packed.sourceName, packed.sourceLength);
    step.source.reserve(sourceFolder.size() + sourceName.size());
    step.source.append(sourceFolder).append(sourceName);
    if (packed.targetFolder != kNoFolder) {
        const std::string& targetFolder = folders_[packed.targetFolder];
        const std::string_view targetName = nameAt(packed.targetName, packed.targetLength);
        step.target.reserve(targetFolder.size() + targetName.size());
        step.target.append(targetFolder).append(targetName);
    }
    if (!errors_.empty()) {
        if (const auto error = errors_.find(index); error != errors_.end()) {
            step.error = error->second;
        }
    }
    if (index < origins_.size()) step.origin = origins_[index];
    return step;
}

PlanStep StepList::at(std::size_t index) const {
    if (index >= size_) throw std::out_of_range("no step " + std::to_string(index));
    return (*this)[index];
}

StepList::Iterator StepList::begin() const {
    return {*this, 0};
}

StepList::Iterator StepList::end() const {
    return {*this, size_};
}

}  // namespace kestrune
