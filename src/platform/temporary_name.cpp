#include "platform/temporary_name.h"

#include <charconv>

namespace kestrune {

bool isTemporaryName(std::string_view name) {
    return name.size() > kTemporaryPrefix.size() &&
           name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix;
}

std::string temporaryNameFor(std::string_view runId, std::size_t index) {
    std::string name(kTemporaryPrefix);
    name.append(runId).append("-").append(std::to_string(index));
    return name;
}

std::optional<TemporaryOwner> temporaryOwnerOf(std::string_view name) {
    if (!isTemporaryName(name)) return std::nullopt;
    const std::string_view rest = name.substr(kTemporaryPrefix.size());
    const auto dash = rest.rfind('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == rest.size()) return std::nullopt;
    TemporaryOwner owner{std::string(rest.substr(0, dash)), 0};
    const char* end = rest.data() + rest.size();
    const auto [at, error] = std::from_chars(rest.data() + dash + 1, end, owner.index);
    if (error != std::errc() || at != end) return std::nullopt;
    return owner;
}

}  // namespace kestrune
