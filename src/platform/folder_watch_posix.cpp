#include <poll.h>
#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <unordered_map>

#include "platform/file_support_posix.h"
#include "platform/folder_watch.h"

namespace kestrune {

namespace {

constexpr std::uint32_t kWatchMask = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE |
                                     IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::string addProblem(int error) {
    if (error == ENOSPC) {
        return "the system's limit of folder watches is reached (fs.inotify.max_user_watches)";
    }
    return std::strerror(error);
}

class InotifyWatch final : public FolderWatch {
  public:
    InotifyWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (!fd_.valid()) throw std::system_error(errno, std::generic_category(), "inotify");
    }

    std::string add(const std::string& folder) override {
        if (byFolder_.count(folder) != 0) return {};
        const int wd = inotify_add_watch(fd_.get(), folder.c_str(), kWatchMask);
        if (wd < 0) return addProblem(errno);
        // Two paths of one folder share the system's watch; each keeps its own name.
        byFolder_[folder] = wd;
        folders_[wd].push_back(folder);
        return {};
    }

    void remove(const std::string& folder) override {
        const auto it = byFolder_.find(folder);
        if (it == byFolder_.end()) return;
        const int wd = it->second;
        byFolder_.erase(it);
        auto& names = folders_[wd];
        names.erase(std::find(names.begin(), names.end(), folder));
        if (names.empty()) {
            folders_.erase(wd);
            inotify_rm_watch(fd_.get(), wd);
        }
    }

    std::size_t size() const override { return byFolder_.size(); }
    int descriptor() const override { return fd_.get(); }

    std::vector<WatchEvent> read(int timeoutMs) override {
        std::vector<WatchEvent> events;
        pollfd waiting{fd_.get(), POLLIN, 0};
        if (::poll(&waiting, 1, timeoutMs) <= 0) return events;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                translate(*event, events);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return events;
    }

  private:
    void translate(const inotify_event& event, std::vector<WatchEvent>& events) {
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
            events.push_back({WatchEventKind::Overflow, {}, {}});
            return;
        }
        const auto it = folders_.find(event.wd);
        if (it == folders_.end()) return;  // removed meanwhile
        if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) != 0) {
            lose(event.wd, events);
            return;
        }
        const bool folder = (event.mask & IN_ISDIR) != 0;
        WatchEventKind kind;
        if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
            kind = folder ? WatchEventKind::FolderAdded : WatchEventKind::EntryArrived;
        } else if ((event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
            kind = folder ? WatchEventKind::FolderGone : WatchEventKind::EntryGone;
        } else if ((event.mask & IN_CLOSE_WRITE) != 0) {
            kind = WatchEventKind::EntryWritten;
        } else {
            return;
        }
        const std::string name(event.len > 0 ? event.name : "");
        for (const auto& path : it->second) events.push_back({kind, path, name});
    }

    // The folder went or moved: its watch says nothing true any more.
    void lose(int wd, std::vector<WatchEvent>& events) {
        for (const auto& path : folders_[wd]) {
            events.push_back({WatchEventKind::WatchLost, path, {}});
            byFolder_.erase(path);
        }
        folders_.erase(wd);
        inotify_rm_watch(fd_.get(), wd);  // a moved folder keeps its watch otherwise
    }

    posix::Descriptor fd_;
    std::unordered_map<std::string, int> byFolder_;
    std::unordered_map<int, std::vector<std::string>> folders_;
};

}  // namespace

std::unique_ptr<FolderWatch> makeFolderWatch() {
    return std::make_unique<InotifyWatch>();
}

}  // namespace kestrune
