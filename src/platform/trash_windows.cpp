#include <windows.h>

#include <cstring>

#include "platform/file_support_windows.h"
#include "platform/trash.h"

// The Recycle Bin of each volume, kept as Windows keeps it, so Explorer lists what a run put
// there and can restore it: X:\$Recycle.Bin\<the user's SID>\ holds each entry as $R + six
// characters + its extension, beside its record $I + the same, which says where it came from.

namespace kestrune {

namespace {

constexpr std::size_t kCodeLength = 6;
constexpr std::size_t kLongestExtension = 64;
// The record's layout (version 2): the version, the size, the time of deletion, the length of
// the path in characters with its ending zero, the path in UTF-16.
constexpr std::int64_t kRecordVersion = 2;
constexpr std::size_t kPathLengthAt = 24;
constexpr std::size_t kPathAt = 28;
// Version 1 kept the path in a fixed field of 260 characters from the length's place on.
constexpr std::size_t kOldPathLength = 260;

// Six characters from the name and the attempt, the same each time, so recovery finds an
// entry by trying the names it could have got, in order.
std::string codeOf(const std::string& name, int attempt) {
    std::uint64_t hash = 14695981039346656037ULL;
    const auto mix = [&hash](unsigned char byte) { hash = (hash ^ byte) * 1099511628211ULL; };
    for (const char c : name) mix(static_cast<unsigned char>(c));
    for (int shift = 0; shift < 32; shift += 8) mix(static_cast<unsigned char>(attempt >> shift));
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string code(kCodeLength, '0');
    for (char& c : code) {
        c = digits[hash % 36];
        hash /= 36;
    }
    return code;
}

void putNumber(std::string& out, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t numberAt(const std::string& text, std::size_t at, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(text[at + i]);
    }
    return value;
}

std::string pathAt(const std::string& text, std::size_t at, std::size_t characters) {
    std::wstring path;
    for (std::size_t i = 0; i < characters && at + 2 * i + 1 < text.size(); ++i) {
        const auto c = static_cast<wchar_t>(numberAt(text, at + 2 * i, 2));
        if (c == L'\0') break;
        path += c;
    }
    return windows::utf8(path);
}

}  // namespace

// The Recycle Bin of the volume the folder lies on, where it has one: Windows keeps bins on
// fixed drives only; a network share or a removable drive has none.
TrashChoice chooseTrash(const std::string& realFolder, std::uint64_t /*device*/,
                        const std::string& /*homeTrash*/) {
    const std::wstring path = windows::systemPath(realFolder);
    std::wstring volume(path.size() + 2, L'\0');
    if (!GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
        return {};
    }
    volume.resize(wcslen(volume.c_str()));
    const std::string top = windows::userPath(volume);
    if (top.empty() || GetDriveTypeW(windows::wide(top).c_str()) != DRIVE_FIXED ||
        windows::currentUserSid().empty()) {
        return {};
    }
    const std::string root = top.back() == '\\' ? top : top + "\\";
    return {
        root + std::string(windows::kRecycleBin) + "\\" + windows::utf8(windows::currentUserSid()),
        root};
}

// Windows has no trash of the user's own: each volume has its bin.
std::string homeTrashFolder() {
    return {};
}

std::string trashFilesFolder(const std::string& trashFolder) {
    return trashFolder;
}

std::string trashInfoFolder(const std::string& trashFolder) {
    return trashFolder;
}

std::string trashFolderOf(const std::string& filesFolder) {
    return filesFolder;
}

TrashNames trashNames(const std::string& name, int attempt) {
    std::string extension;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && name.size() - dot <= kLongestExtension) {
        extension = name.substr(dot);
    }
    const std::string code = codeOf(name, attempt) + extension;
    return {"$R" + code, "$I" + code};
}

std::string trashInfoName(const std::string& trashedName) {
    return "$I" + (trashedName.rfind("$R", 0) == 0 ? trashedName.substr(2) : trashedName);
}

std::string trashInfoText(const std::string& realPath, std::uint64_t size,
                          const std::string& /*top*/) {
    std::string path = realPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    const std::wstring wide = windows::wide(path);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    std::string record;
    putNumber(record, kRecordVersion, 8);
    putNumber(record, size, 8);
    putNumber(record, (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime, 8);
    putNumber(record, wide.size() + 1, 4);
    for (const wchar_t c : wide) putNumber(record, static_cast<std::uint16_t>(c), 2);
    putNumber(record, 0, 2);
    return record;
}

std::string trashInfoPath(const std::string& text, const std::string& /*top*/) {
    if (text.size() < kPathAt) return {};
    const std::uint64_t version = numberAt(text, 0, 8);
    if (version == 1) return pathAt(text, kPathLengthAt, kOldPathLength);
    if (version != kRecordVersion) return {};
    return pathAt(text, kPathAt, numberAt(text, kPathLengthAt, 4));
}

}  // namespace kestrune
