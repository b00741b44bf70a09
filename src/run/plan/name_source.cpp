#include "run/plan/name_source.h"

#include <string_view>

#include "platform/random_source.h"

namespace kestrune {

namespace {

constexpr std::string_view kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int kNamePartLength = 12;

}  // namespace

std::string RandomNameSource::next() {
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string part;
    part.reserve(kNamePartLength);
    for (int i = 0; i < kNamePartLength; ++i) part += kAlphabet[pick(engine_)];
    return part;
}

NameSource& randomNames() {
    thread_local RandomNameSource names(trueRandomSeed());
    return names;
}

}  // namespace kestrune
