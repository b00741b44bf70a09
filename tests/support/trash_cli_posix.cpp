// The freedesktop trash as Debian's trash-cli sees it.
#include "support/trash_cli.h"

#include <cstdio>
#include <cstdlib>

#include "support/scratch_dir.h"

namespace kestrune::test {

bool trashCliPresent() {
    return std::system("command -v trash-list >/dev/null && command -v trash-restore >/dev/null") ==
           0;
}

std::string trashCliEnvironment(const std::string& dataHome) {
    return "XDG_DATA_HOME='" + dataHome + "' ";
}

std::string trashList(const std::string& dataHome) {
    const std::string listed = dataHome + "/listed";
    const std::string command = trashCliEnvironment(dataHome) + "trash-list > '" + listed + "'";
    if (std::system(command.c_str()) != 0) return "trash-list failed";
    std::string text = readFile(listed);
    std::remove(listed.c_str());
    return text;
}

}  // namespace kestrune::test
