#include "store/settings_file.h"

#include "platform/file_io.h"
#include "store/errors.h"
#include "store/integer_rule.h"
#include "store/profile_text.h"
#include "store/settings_patch.h"

namespace kestrune {

namespace {

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Names and values that would change the file's structure (a line break starting a new key or
// section, a key that reads as a header) are refused rather than written.
bool storable(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionKey = profileNameKey(section);
    const std::string keyKey = profileNameKey(key);
    return !sectionKey.empty() && !keyKey.empty() && keyKey.front() != '[' &&
           keyKey.find('=') == std::string::npos && !holdsLineBreak(section) &&
           !holdsLineBreak(key) && !holdsLineBreak(value);
}

}  // namespace

SettingsFile::SettingsFile(std::string path) : SettingsFile(std::move(path), systemFileIo()) {}

SettingsFile::SettingsFile(std::string path, const FileIo& io) : path_(std::move(path)), io_(&io) {}

ProfileText SettingsFile::load() const {
    const FileContent content = io_->read(path_);
    return ProfileText(content.ok() ? content.bytes : std::string());
}

// A file that exists but cannot be read must not be replaced by one holding only the change.
ProfileText SettingsFile::loadForChange() const {
    const FileContent content = io_->read(path_);
    if (content.status == FileContent::Status::Failed) {
        throw SettingsWriteError("Unable to write to " + path_);
    }
    return ProfileText(content.bytes);
}

void SettingsFile::store(const ProfileText& text) {
    storeBytes(text.text());
}

std::string SettingsFile::readString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    auto value = load().value(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

std::int32_t SettingsFile::readInteger(std::string_view section, std::string_view key,
                                       std::int32_t fallback) const {
    return parseStoredInteger(readString(section, key, "")).value_or(fallback);
}

bool SettingsFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void SettingsFile::writeString(std::string_view section, std::string_view key,
                               std::string_view value) {
    if (!storable(section, key, value)) throw SettingsWriteError("Unable to write to " + path_);
    ProfileText text = loadForChange();
    text.set(section, key, value);
    store(text);
}

void SettingsFile::writeInteger(std::string_view section, std::string_view key,
                                std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void SettingsFile::eraseSection(std::string_view section) {
    ProfileText text = loadForChange();
    if (text.eraseSection(section)) store(text);
}

bool SettingsFile::sectionExists(std::string_view section) const {
    return load().hasKeys(section);
}

std::string SettingsFile::bytes() const {
    const FileContent content = io_->read(path_);
    if (content.status == FileContent::Status::Failed) {
        throw SettingsWriteError("Unable to write to " + path_);
    }
    return content.bytes;
}

void SettingsFile::storeBytes(const std::string& bytes) {
    if (!io_->replace(path_, bytes).empty())
        throw SettingsWriteError("Unable to write to " + path_);
}

SettingsPatch SettingsFile::tracked(const std::function<void()>& change) {
    const std::string before = bytes();
    change();
    return SettingsPatch::between(before, bytes());
}

bool SettingsFile::revert(const SettingsPatch& patch) {
    if (patch.empty()) return true;
    const std::optional<std::string> reverted = patch.revertedIn(bytes());
    if (!reverted) return false;
    storeBytes(*reverted);
    return true;
}

void SettingsFile::append(const std::string& text) {
    std::string content = bytes();
    if (!content.empty() && content.back() != '\n') content += '\n';
    storeBytes(content + text);
}

void SettingsFile::close() {}

}  // namespace kestrune
