#include <windows.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "platform/file_io.h"
#include "platform/file_support_windows.h"
#include "platform/folder_watch.h"
#include "platform/path_text.h"

namespace kestrune {

namespace {

using windows::Handle;

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
constexpr DWORD kBuffer = 64 * 1024;  // the most a network share passes at once

// One watched folder: its handle and the read the system completes when something changes.
struct Watched {
    std::string path;
    Handle folder;
    OVERLAPPED read{};
    std::unique_ptr<DWORD[]> buffer{new DWORD[kBuffer / sizeof(DWORD)]};
};

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(windows::systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Each folder's read completes on one event of the watch, so a caller waits on one handle for
// all of them. Windows cancels a thread's reads when it ends: the thread that adds folders is
// the one that reads them, as the loop of automatic runs does.
class DirectoryChangesWatch final : public FolderWatch {
  public:
    DirectoryChangesWatch() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (!event_.valid()) {
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                    "CreateEvent");
        }
    }

    ~DirectoryChangesWatch() override {
        for (auto& [path, watched] : byFolder_) stop(*watched);
    }

    std::string add(const std::string& folder) override {
        if (byFolder_.count(folder) != 0) return {};
        auto watched = std::make_unique<Watched>();
        watched->path = folder;
        watched->folder.reset(CreateFileW(
            windows::systemPath(folder).c_str(), FILE_LIST_DIRECTORY, windows::kShareAll, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        if (!watched->folder.valid()) return problem();
        if (!isFolder(folder)) return systemErrorText(ENOTDIR);
        watched->read.hEvent = event_.get();
        if (!start(*watched)) return problem();
        byFolder_.emplace(folder, std::move(watched));
        return {};
    }

    void remove(const std::string& folder) override {
        const auto it = byFolder_.find(folder);
        if (it == byFolder_.end()) return;
        stop(*it->second);
        byFolder_.erase(it);
    }

    std::size_t size() const override { return byFolder_.size(); }

    // The event's handle value: Windows keeps handle values within 32 bits.
    int descriptor() const override { return HandleToLong(event_.get()); }

    std::vector<WatchEvent> read(int timeoutMs) override {
        std::vector<WatchEvent> events;
        const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        if (WaitForSingleObject(event_.get(), limit) != WAIT_OBJECT_0) return events;
        // Lowered before looking, so a read completing meanwhile raises it again.
        ResetEvent(event_.get());
        std::vector<std::string> lost;
        for (auto& [path, watched] : byFolder_) {
            if (!HasOverlappedIoCompleted(&watched->read)) continue;
            DWORD got = 0;
            const bool done =
                GetOverlappedResult(watched->folder.get(), &watched->read, &got, FALSE);
            if (done && got == 0) {
                events.push_back({WatchEventKind::Overflow, {}, {}});
            } else if (done) {
                translate(*watched, events);
            } else if (GetLastError() == ERROR_NOTIFY_ENUM_DIR) {
                events.push_back({WatchEventKind::Overflow, {}, {}});
            } else {
                lost.push_back(path);  // the folder went, or its volume
                continue;
            }
            if (!start(*watched)) lost.push_back(path);
        }
        for (const std::string& path : lost) {
            events.push_back({WatchEventKind::WatchLost, path, {}});
            remove(path);
        }
        return events;
    }

  private:
    static bool start(Watched& watched) {
        return ReadDirectoryChangesW(watched.folder.get(), watched.buffer.get(), kBuffer, FALSE,
                                     kChanges, nullptr, &watched.read, nullptr);
    }

    static void stop(Watched& watched) {
        if (CancelIoEx(watched.folder.get(), &watched.read) || GetLastError() != ERROR_NOT_FOUND) {
            DWORD got = 0;
            GetOverlappedResult(watched.folder.get(), &watched.read, &got, TRUE);
        }
    }

    static std::string problem() { return systemErrorText(windows::lastErrorCode()); }

    void translate(const Watched& watched, std::vector<WatchEvent>& events) const {
        const auto* bytes = reinterpret_cast<const char*>(watched.buffer.get());
        for (DWORD at = 0;;) {
            const auto& change = *reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(bytes + at);
            const std::string name = windows::utf8(
                std::wstring_view(change.FileName, change.FileNameLength / sizeof(wchar_t)));
            if (const auto kind = kindOf(watched.path, change.Action, name)) {
                events.push_back({*kind, watched.path, name});
            }
            if (change.NextEntryOffset == 0) break;
            at += change.NextEntryOffset;
        }
    }

    // Windows tells no folder from a file: an entry that arrives is looked at, one that went
    // is a folder when it was watched itself. A write is told as it happens; there is no
    // telling of a close.
    std::optional<WatchEventKind> kindOf(const std::string& folder, DWORD action,
                                         const std::string& name) const {
        const std::string path = withSeparator(folder) + name;
        switch (action) {
            case FILE_ACTION_ADDED:
            case FILE_ACTION_RENAMED_NEW_NAME:
                return isFolder(path) ? WatchEventKind::FolderAdded : WatchEventKind::EntryArrived;
            case FILE_ACTION_REMOVED:
            case FILE_ACTION_RENAMED_OLD_NAME:
                return watchedFolder(path) ? WatchEventKind::FolderGone : WatchEventKind::EntryGone;
            case FILE_ACTION_MODIFIED:
                if (isFolder(path)) return std::nullopt;  // its content changed: told itself
                return WatchEventKind::EntryWritten;
            default:
                return std::nullopt;
        }
    }

    bool watchedFolder(const std::string& path) const {
        return byFolder_.count(path) != 0 || byFolder_.count(path + '/') != 0 ||
               byFolder_.count(path + '\\') != 0;
    }

    Handle event_;
    std::unordered_map<std::string, std::unique_ptr<Watched>> byFolder_;
};

}  // namespace

std::unique_ptr<FolderWatch> makeFolderWatch() {
    return std::make_unique<DirectoryChangesWatch>();
}

}  // namespace kestrune
