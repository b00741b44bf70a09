// symlink(2).
#include <unistd.h>

#include "support/links.h"

namespace kestrune::test {

bool makeLink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

}  // namespace kestrune::test
