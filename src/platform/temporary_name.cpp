#include "platform/temporary_name.h"

#include <random>

#include "platform/random_source.h"

namespace kestrune {

namespace {

constexpr std::string_view kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t kRandomLength = 6;

}  // namespace

bool isTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kRandomLength) return false;
    if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) return false;
    return name.find_first_not_of(kAlphabet, kTemporaryPrefix.size()) == std::string_view::npos;
}

std::string newTemporaryName() {
    thread_local std::mt19937_64 engine(trueRandomSeed());
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kRandomLength; ++i) name += kAlphabet[pick(engine)];
    return name;
}

}  // namespace kestrune
