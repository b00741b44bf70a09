// setenv(3).
#include <cstdlib>

#include "support/scratch_dir.h"

namespace kestrune::test {

namespace {

void set(const char* name, const std::string& value) {
    ::setenv(name, value.c_str(), 1);
}

}  // namespace

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    set(name, value);
}

ScopedVariable::~ScopedVariable() {
    if (had_) {
        set(name_, old_);
    } else {
        ::unsetenv(name_);
    }
}

}  // namespace kestrune::test
