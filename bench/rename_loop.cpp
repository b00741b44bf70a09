// kestrune-rename-loop LIST: the baseline for a move task, as a hand-written script does it.
//
// LIST holds one "SOURCE<TAB>TARGET" line per file. For each line the target's folder is
// made with its parents (once per folder) and the file is renamed. No check for a taken
// name, no report: only what a move within one file system cannot do without.

#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <unordered_set>

namespace {

bool makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kestrune-rename-loop LIST\n";
        return 2;
    }
    std::ifstream list(argv[1]);
    if (!list) {
        std::cerr << "kestrune-rename-loop: cannot read " << argv[1] << '\n';
        return 2;
    }
    std::unordered_set<std::string> made;
    std::string line;
    int failed = 0;
    while (std::getline(list, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        line[tab] = '\0';
        const char* source = line.c_str();
        const char* target = line.c_str() + tab + 1;
        const std::string folder = line.substr(tab + 1, line.find_last_of('/') - tab - 1);
        if (made.insert(folder).second && !makeFolders(folder)) {
            std::perror(folder.c_str());
            ++failed;
            continue;
        }
        if (std::rename(source, target) != 0) {
            std::perror(source);
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
