#include "run/plan/name_form.h"

#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

constexpr std::string_view kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr char kSeparator = '_';

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// The first `limit` bytes of the text, fewer when that would cut a UTF-8 character.
std::string_view cutAt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    while (limit > 0 && isContinuationByte(text[limit])) --limit;
    return text.substr(0, limit);
}

bool isPartCharacter(char c) {
    return kAlphabet.find(c) != std::string_view::npos;
}

// SplitMix64: every step of its counter gives a well mixed 64-bit number, the same on every
// machine and library, unlike the standard distributions.
std::uint64_t mixed(std::uint64_t value) {
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

// FNV-1a over the bytes, so that the seed does not depend on the standard library's hash.
std::uint64_t hashed(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::uint64_t hashed(std::uint64_t hash, std::uint64_t number) {
    for (int i = 0; i < 8; ++i) {
        hash ^= (number >> (8 * i)) & 0xFFU;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

}  // namespace

std::string fittedName(std::string_view name, std::size_t limit) {
    if (name.size() <= limit) return std::string(name);
    const std::string_view extension = extensionOf(name);
    // An extension that leaves no room for anything before it is cut like the rest.
    if (extension.size() >= limit || extension.size() == name.size()) {
        return std::string(cutAt(name, limit));
    }
    const std::string_view stem = name.substr(0, name.size() - extension.size());
    std::string fitted(cutAt(stem, limit - extension.size()));
    return fitted.append(extension);
}

std::string withRandomPart(std::string_view part, std::string_view name) {
    std::string result(part);
    result.push_back(kSeparator);
    return result.append(fittedName(name, kNameLimit - result.size()));
}

bool isWithRandomPart(std::string_view candidate, std::string_view name) {
    constexpr std::size_t kFront = kRandomPartLength + 1;
    if (candidate.size() <= kFront || candidate[kRandomPartLength] != kSeparator) return false;
    for (std::size_t i = 0; i < kRandomPartLength; ++i) {
        if (!isPartCharacter(candidate[i])) return false;
    }
    return candidate.substr(kFront) == fittedName(name, kNameLimit - kFront);
}

std::string redrawnName(std::string_view planned, bool plannedHasPart, std::string_view part) {
    if (plannedHasPart && planned.size() > kRandomPartLength) {
        planned.remove_prefix(kRandomPartLength + 1);
    }
    return withRandomPart(part, planned);
}

std::uint64_t nameSeed(std::uint64_t device, std::uint64_t inode, std::string_view targetFolder,
                       std::string_view name) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    hash = hashed(hashed(hash, device), inode);
    hash = hashed(hash, targetFolder);
    hash = hashed(hash, std::string_view("/", 1));
    return mixed(hashed(hash, name));
}

// Six bits at a time from the draw's own stream, the values past the alphabet dropped, so
// that every character is equally likely.
std::string drawnPart(std::uint64_t seed, std::uint32_t draw) {
    std::uint64_t counter = mixed(seed + kGolden * (static_cast<std::uint64_t>(draw) + 1));
    std::string part;
    part.reserve(kRandomPartLength);
    while (part.size() < kRandomPartLength) {
        counter += kGolden;
        std::uint64_t bits = mixed(counter);
        for (int i = 0; i < 10 && part.size() < kRandomPartLength; ++i, bits >>= 6) {
            const std::size_t index = bits & 0x3FU;
            if (index < kAlphabet.size()) part.push_back(kAlphabet[index]);
        }
    }
    return part;
}

bool isPlacedFormOf(std::string_view candidate, std::string_view planned) {
    if (candidate == planned) return true;
    const std::size_t withPart = kRandomPartLength + 1;
    const std::string_view plain =
        planned.size() > withPart && isWithRandomPart(planned, planned.substr(withPart))
            ? planned.substr(withPart)
            : planned;
    if (isWithRandomPart(candidate, plain)) return true;
    // The older form: the random part right before the name.
    if (candidate.size() != kRandomPartLength + plain.size() ||
        candidate.substr(kRandomPartLength) != plain) {
        return false;
    }
    for (std::size_t i = 0; i < kRandomPartLength; ++i) {
        if (!isPartCharacter(candidate[i])) return false;
    }
    return true;
}

}  // namespace kestrune
