#include <windows.h>

#include <unordered_map>

#include "platform/file_support_windows.h"
#include "platform/open_files.h"

namespace kestrune {

namespace {

// Opens files by their id on each volume with a drive letter, through a handle on its root.
class VolumeProbe final : public OpenFileProbe {
  public:
    VolumeProbe() {
        wchar_t drives[512];
        const DWORD length = GetLogicalDriveStringsW(512, drives);
        if (length == 0 || length > 512) return;
        for (const wchar_t* root = drives; *root != L'\0'; root += wcslen(root) + 1) {
            // A drive without a medium in it would only keep the run waiting.
            const UINT type = GetDriveTypeW(root);
            if (type == DRIVE_CDROM || type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) continue;
            windows::Handle folder(CreateFileW(root, FILE_READ_ATTRIBUTES, windows::kShareAll,
                                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                               nullptr));
            BY_HANDLE_FILE_INFORMATION info{};
            if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info)) continue;
            roots_.try_emplace(info.dwVolumeSerialNumber, std::move(folder));
        }
    }

    // A writer keeps others from opening the file while denying them writing: the open fails
    // with a sharing violation then. Deleting is allowed, so a pending rename does not count.
    bool openForWriting(std::uint64_t device, std::uint64_t inode) const override {
        const auto root = roots_.find(device);
        if (root == roots_.end()) return false;
        FILE_ID_DESCRIPTOR id{};
        id.dwSize = sizeof id;
        id.Type = FileIdType;
        id.FileId.QuadPart = static_cast<LONGLONG>(inode);
        const windows::Handle file(OpenFileById(root->second.get(), &id, FILE_READ_DATA,
                                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                FILE_FLAG_BACKUP_SEMANTICS));
        return !file.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
    }

  private:
    std::unordered_map<std::uint64_t, windows::Handle> roots_;
};

}  // namespace

OpenForWriting scanOpenForWriting() {
    return OpenForWriting(std::make_shared<const VolumeProbe>());
}

}  // namespace kestrune
