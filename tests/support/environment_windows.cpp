// _putenv_s, which Windows' C runtime has in place of setenv.
#include <cstdlib>

#include "support/scratch_dir.h"

namespace kestrune::test {

namespace {

void set(const char* name, const std::string& value) {
    _putenv_s(name, value.c_str());
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
        _putenv_s(name_, "");
    }
}

}  // namespace kestrune::test
