#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune {

// The names a run writes a copy under before renaming it into place, in the target folder:
// the prefix, the run's id and the index of the step, so that recovery knows whose copy it
// is and never touches the copies of a run still going in another process. No walk ever
// selects such a name.
inline constexpr std::string_view kTemporaryPrefix = ".kestrune-tmp-";

bool isTemporaryName(std::string_view name);

// The temporary name of step `index` of the run `runId`.
std::string temporaryNameFor(std::string_view runId, std::size_t index);

// The run and step a temporary name belongs to; nullopt for a name of another form (an
// older release's copies carry no run).
struct TemporaryOwner {
    std::string runId;
    std::size_t index = 0;
};
std::optional<TemporaryOwner> temporaryOwnerOf(std::string_view name);

}  // namespace kestrune
