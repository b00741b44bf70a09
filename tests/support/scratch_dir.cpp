#include "support/scratch_dir.h"

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace kestrune::test {

namespace fs = std::filesystem;

namespace {

// A new folder of the user's alone under the system's temporary folder ($TMPDIR, %TEMP%).
fs::path makeUniqueFolder() {
    static std::mt19937_64 engine{std::random_device{}()};
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("kestrune-test-" + std::to_string(engine() % 1000000000));
        if (fs::create_directory(folder)) {
            fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
            return folder;
        }
    }
    throw std::runtime_error("cannot make a scratch folder in " + textOf(base));
}

// Tests make folders and files read-only on purpose; give write access back so the folder
// can go (on Windows a read-only file cannot be removed).
void makeWritable(const fs::path& root) {
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(root, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_symlink(error)) continue;
        const fs::perms wanted =
            it->is_directory(error) ? fs::perms::owner_all : fs::perms::owner_write;
        fs::permissions(it->path(), wanted, fs::perm_options::add, error);
    }
}

}  // namespace

ScratchDir::ScratchDir() : path_(makeUniqueFolder()) {}

ScratchDir::~ScratchDir() {
    makeWritable(path_);
    std::error_code error;
    fs::remove_all(path_, error);
}

void removeTree(const std::string& path) {
    makeWritable(pathOf(path));
    fs::remove_all(pathOf(path));
}

std::string readFile(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(pathOf(path), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

void makeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    writeFile(textOf(path), content);
}

void setModifiedNs(const std::string& path, std::int64_t ns) {
    const std::chrono::sys_time<std::chrono::nanoseconds> when{std::chrono::nanoseconds(ns)};
    fs::last_write_time(pathOf(path), std::chrono::file_clock::from_sys(when));
}

}  // namespace kestrune::test
