// kestrune-make-tree DEST [FILES [FOLDERS]]: a fixed test tree for the benchmarks.
//
// Makes FOLDERS folders (default 5000) below DEST, each node having up to ten subfolders, so
// 5000 folders lie four levels deep. FILES files (default 100000) are spread over them by a
// fixed seed: names f0000000.txt and so on, extensions .txt .jpg .log .pdf .dat or none, sizes
// mostly below 2 KiB with a few up to 320 KiB (about 2.8 KiB on average). The same arguments
// always give the same tree, byte for byte.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kBranching = 10;
constexpr std::size_t kLargest = 320 * 1024;

// splitmix64: a fixed generator, so the tree does not depend on the standard library's.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

  private:
    std::uint64_t state_;
};

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "kestrune-make-tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

std::size_t parseCount(const char* text, const char* what) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value == 0) {
        std::fprintf(stderr, "kestrune-make-tree: %s must be a positive number\n", what);
        std::exit(2);
    }
    return static_cast<std::size_t>(value);
}

const char* extensionFor(Random& random) {
    const std::size_t r = random.below(100);
    if (r < 25) return ".txt";
    if (r < 45) return ".jpg";
    if (r < 60) return ".log";
    if (r < 70) return ".pdf";
    if (r < 90) return ".dat";
    return "";
}

// 90 % below 2 KiB, 8 % up to 16 KiB, 1.7 % up to 64 KiB, 0.3 % up to 320 KiB.
std::size_t sizeFor(Random& random) {
    const std::size_t r = random.below(1000);
    if (r < 900) return random.below(2048);
    if (r < 980) return 2048 + random.below(14 * 1024);
    if (r < 997) return 16 * 1024 + random.below(48 * 1024);
    return 64 * 1024 + random.below(kLargest - 64 * 1024 + 1);
}

void writeFile(const std::string& path, const char* data, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) die(path);
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) die(path);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) die(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: kestrune-make-tree DEST [FILES [FOLDERS]]\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::size_t files = argc > 2 ? parseCount(argv[2], "FILES") : 100000;
    const std::size_t folders = argc > 3 ? parseCount(argv[3], "FOLDERS") : 5000;

    if (mkdir(root.c_str(), 0755) != 0) die(root + " (it must not exist yet)");

    // Folder k (1-based) lies in folder (k - 1) / kBranching; folder 0 is DEST itself.
    std::vector<std::string> paths{root};
    paths.reserve(folders + 1);
    char name[32];
    for (std::size_t k = 1; k <= folders; ++k) {
        std::snprintf(name, sizeof name, "/d%05zu", k);
        paths.push_back(paths[(k - 1) / kBranching] + name);
        if (mkdir(paths.back().c_str(), 0755) != 0) die(paths.back());
    }

    Random random(20240611);
    std::vector<char> content(kLargest);
    for (char& c : content) c = static_cast<char>('a' + random.below(26));

    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < files; ++i) {
        const std::string& folder = paths[1 + random.below(folders)];
        const char* extension = extensionFor(random);
        const std::size_t size = sizeFor(random);
        const std::size_t offset = random.below(kLargest - size + 1);
        std::snprintf(name, sizeof name, "/f%07zu", i);
        writeFile(folder + name + extension, content.data() + offset, size);
        bytes += size;
    }
    std::printf("%zu files, %zu folders, %llu bytes in %s\n", files, folders,
                static_cast<unsigned long long>(bytes), root.c_str());
    return 0;
}
