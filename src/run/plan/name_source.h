#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace kestrune {

// Gives the random name parts that make a taken target name free.
class NameSource {
  public:
    virtual ~NameSource() = default;
    virtual std::string next() = 0;
};

// Twelve characters drawn uniformly from a-z, A-Z and 0-9.
class RandomNameSource final : public NameSource {
  public:
    explicit RandomNameSource(std::uint64_t seed) : engine_(seed) {}
    std::string next() override;

  private:
    std::mt19937_64 engine_;
};

// The program's generator, seeded once from the system's true random source.
NameSource& randomNames();

}  // namespace kestrune
