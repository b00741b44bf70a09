#pragma once

#include <cstdint>
#include <string>

namespace kestrune {

// Gives the random name parts that make a taken target name free: the draw-th part of an
// entry's seed (nameSeed in name_form.h). The same two numbers give the same part, so a run
// finds the names its preview showed.
class NameSource {
  public:
    virtual ~NameSource() = default;
    virtual std::string part(std::uint64_t seed, std::uint32_t draw) = 0;
};

// The program's parts: drawnPart() of name_form.h.
NameSource& randomNames();

}  // namespace kestrune
