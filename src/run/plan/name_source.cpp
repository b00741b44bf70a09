#include "run/plan/name_source.h"

#include "run/plan/name_form.h"

namespace kestrune {

namespace {

class DrawnNames final : public NameSource {
  public:
    std::string part(std::uint64_t seed, std::uint32_t draw) override {
        return drawnPart(seed, draw);
    }
};

}  // namespace

NameSource& randomNames() {
    static DrawnNames names;
    return names;
}

}  // namespace kestrune
