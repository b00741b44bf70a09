#pragma once

// What the tests of runs cut short share: trees of files, where their files ended up, and a
// target on another file system where there is one.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/temporary_name.h"
#include "run/execute/plan_executor.h"
#include "run/plan/run_planner.h"
#include "support/other_file_system.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;  // path below a root -> content

// Every regular file and link below the root; temporary copies are counted apart.
inline Files filesBelow(const std::string& root, std::size_t* temporaries = nullptr) {
    Files files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() && !entry.is_symlink()) continue;
        if (isTemporaryName(entry.path().filename().string())) {
            if (temporaries != nullptr) ++*temporaries;
            continue;
        }
        files[fs::relative(entry.path(), root).generic_string()] = readFile(entry.path().string());
    }
    return files;
}

// A tree of files with contents of their own, in a few folders, some nested.
inline Files makeTree(const std::string& root, int count, std::size_t size) {
    Files files;
    for (int i = 0; i < count; ++i) {
        const std::string below = "d" + std::to_string(i % 7) + (i % 3 == 0 ? "/e.x/" : "/") + "f" +
                                  std::to_string(i) + ".txt";
        std::string content = below + ":";
        content.resize(size, static_cast<char>('a' + i % 26));
        makeFile(root + "/" + below, content);
        files[below] = content;
    }
    return files;
}

// Where every file ended up: lost, or found at the source, the target or both.
struct Census {
    std::size_t lost = 0;
    std::size_t both = 0;
    std::size_t wrong = 0;  // a final name holding what no source held
    std::size_t temporaries = 0;
};

inline Census census(const Files& original, const std::string& source, const std::string& target) {
    Census result;
    const Files atSource = filesBelow(source, &result.temporaries);
    const Files atTarget = filesBelow(target, &result.temporaries);
    for (const auto& [below, content] : original) {
        const auto s = atSource.find(below);
        const auto t = atTarget.find(below);
        const bool here = s != atSource.end() && s->second == content;
        const bool there = t != atTarget.end() && t->second == content;
        if (!here && !there) ++result.lost;
        if (here && there) ++result.both;
    }
    for (const auto& [below, content] : atTarget) {
        const auto o = original.find(below);
        if (o == original.end() || o->second != content) ++result.wrong;
    }
    return result;
}

inline ExecuteOptions through(FileActions* files, ExecutionObserver* observer = nullptr) {
    ExecuteOptions options;
    options.files = files;
    options.observer = observer;
    return options;
}

inline TaskRecord record(const std::string& source, const std::string& target, int action) {
    return {source, target, action, 0, "*.*", false};
}

class RunFaults : public ScratchTest {
  protected:
    void SetUp() override { other = folderOnAnotherFileSystem(scratch); }
    void TearDown() override {
        if (!other.empty()) fs::remove_all(other);
    }
    // The target folders to try: on the scratch folder's file system, and on another one.
    std::vector<std::string> targetRoots() const {
        std::vector<std::string> roots{scratch.file("out")};
        if (!other.empty()) roots.push_back(other);
        return roots;
    }
    std::string other;
};

}  // namespace kestrune::test
