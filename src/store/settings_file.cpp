#include "store/settings_file.h"

#include "platform/file_io.h"
#include "store/errors.h"
#include "store/integer_rule.h"
#include "store/settings_patch.h"

namespace kestrune {

namespace {

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Names and values that would change the file's structure (a line break starting a new key or
// section, a key that reads as a header or a comment) are refused rather than written.
bool storableSection(std::string_view section) {
    return !profileNameKey(section).empty() && !holdsLineBreak(section);
}

bool storable(std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyKey = profileNameKey(key);
    return storableSection(section) && !keyKey.empty() && keyKey.front() != '[' &&
           keyKey.front() != ';' && keyKey.find('=') == std::string::npos && !holdsLineBreak(key) &&
           !holdsLineBreak(value);
}

}  // namespace

std::string SettingsSnapshot::readString(std::string_view section, std::string_view key,
                                         std::string_view fallback) const {
    auto value = text_.value(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

std::int32_t SettingsSnapshot::readInteger(std::string_view section, std::string_view key,
                                           std::int32_t fallback) const {
    return parseStoredInteger(readString(section, key, "")).value_or(fallback);
}

bool SettingsSnapshot::readBool(std::string_view section, std::string_view key,
                                bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

bool SettingsSnapshot::sectionExists(std::string_view section) const {
    return text_.hasKeys(section);
}

SettingsEdit& SettingsEdit::writeString(std::string_view section, std::string_view key,
                                        std::string_view value) {
    changes_.push_back({Kind::Write, std::string(section), std::string(key), std::string(value)});
    return *this;
}

SettingsEdit& SettingsEdit::writeInteger(std::string_view section, std::string_view key,
                                         std::int32_t value) {
    return writeString(section, key, std::to_string(value));
}

SettingsEdit& SettingsEdit::eraseSection(std::string_view section) {
    changes_.push_back({Kind::Erase, std::string(section), {}, {}});
    return *this;
}

SettingsEdit& SettingsEdit::eraseSectionWithKeys(std::string_view section) {
    changes_.push_back({Kind::EraseWithKeys, std::string(section), {}, {}});
    return *this;
}

SettingsEdit& SettingsEdit::copySection(std::string_view from, std::string_view to) {
    changes_.push_back({Kind::Copy, std::string(to), std::string(from), {}});
    return *this;
}

SettingsFile::SettingsFile(std::string path) : SettingsFile(std::move(path), systemFileIo()) {}

SettingsFile::SettingsFile(std::string path, const FileIo& io) : path_(std::move(path)), io_(&io) {}

void SettingsFile::refuse() const {
    throw SettingsWriteError("Unable to write to " + path_);
}

SettingsSnapshot SettingsFile::snapshot() const {
    const FileContent content = io_->read(path_);
    return SettingsSnapshot(ProfileText(content.ok() ? content.bytes : std::string()));
}

std::string SettingsFile::readString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    return snapshot().readString(section, key, fallback);
}

std::int32_t SettingsFile::readInteger(std::string_view section, std::string_view key,
                                       std::int32_t fallback) const {
    return snapshot().readInteger(section, key, fallback);
}

bool SettingsFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return snapshot().readBool(section, key, fallback);
}

bool SettingsFile::sectionExists(std::string_view section) const {
    return snapshot().sectionExists(section);
}

// A change that cannot be stored is refused before the file is read.
void SettingsFile::check(const SettingsEdit& edit) const {
    using Kind = SettingsEdit::Kind;
    for (const auto& change : edit.changes_) {
        const bool ok = change.kind == Kind::Write
                            ? storable(change.section, change.key, change.value)
                            : change.kind != Kind::Copy || storableSection(change.section);
        if (!ok) refuse();
    }
}

// A write changes the text even when it changes no byte (it creates the file); erasing what
// is not there changes nothing.
bool SettingsFile::applyTo(ProfileText& text, const SettingsEdit& edit) {
    using Kind = SettingsEdit::Kind;
    bool changed = false;
    for (const auto& change : edit.changes_) {
        switch (change.kind) {
            case Kind::Write:
                text.set(change.section, change.key, change.value);
                changed = true;
                break;
            case Kind::EraseWithKeys:
                if (!text.hasKeys(change.section)) break;
                [[fallthrough]];
            case Kind::Erase:
                changed = text.eraseSection(change.section) || changed;
                break;
            case Kind::Copy:
                changed = text.copySection(change.key, change.section) || changed;
                break;
        }
    }
    return changed;
}

// The file is replaced once, so a refused change or a failing disk leaves it as it was.
void SettingsFile::apply(const SettingsEdit& edit) {
    if (edit.empty()) return;
    check(edit);
    ProfileText text(bytes());
    if (applyTo(text, edit)) storeBytes(text.text());
}

// What each edit did to the bytes, found by making them again on the bytes before them.
std::vector<SettingsPatch> SettingsFile::patchesOf(const TrackedEdits& tracked) {
    std::string before = tracked.before;
    ProfileText text(before);
    std::vector<SettingsPatch> patches;
    for (const SettingsEdit& edit : tracked.edits) {
        if (!applyTo(text, edit)) continue;
        std::string after = text.text();
        patches.push_back(SettingsPatch::between(before, after));
        before = std::move(after);
    }
    return patches;
}

TrackedEdits SettingsFile::trackedEach(std::vector<SettingsEdit> edits) {
    for (const SettingsEdit& edit : edits) check(edit);
    TrackedEdits tracked{bytes(), {}, std::move(edits)};
    ProfileText text(tracked.before);
    bool changed = false;
    for (const SettingsEdit& edit : tracked.edits) changed = applyTo(text, edit) || changed;
    tracked.after = changed ? text.text() : tracked.before;
    if (changed) storeBytes(tracked.after);
    return tracked;
}

void SettingsFile::writeString(std::string_view section, std::string_view key,
                               std::string_view value) {
    apply(SettingsEdit().writeString(section, key, value));
}

void SettingsFile::writeInteger(std::string_view section, std::string_view key,
                                std::int32_t value) {
    apply(SettingsEdit().writeInteger(section, key, value));
}

void SettingsFile::eraseSection(std::string_view section) {
    apply(SettingsEdit().eraseSection(section));
}

// A file that exists but cannot be read must not be replaced by one holding only the change.
std::string SettingsFile::bytes() const {
    const FileContent content = io_->read(path_);
    if (content.status == FileContent::Status::Failed) refuse();
    return content.bytes;
}

void SettingsFile::storeBytes(const std::string& bytes) {
    if (!io_->replace(path_, bytes).empty()) refuse();
}

SettingsPatch SettingsFile::tracked(const std::function<void()>& change) {
    const std::string before = bytes();
    change();
    return SettingsPatch::between(before, bytes());
}

bool SettingsFile::revert(const SettingsPatch& patch) {
    if (patch.empty()) return true;
    std::string content = bytes();
    if (!patch.revertIn(content)) return false;
    storeBytes(content);
    return true;
}

// Finding each edit's change costs a pass over the file an edit: only done when the file has
// changed since.
void SettingsFile::restore(const TrackedEdits& tracked) {
    const std::string now = bytes();
    if (now == tracked.after) {
        if (now != tracked.before) storeBytes(tracked.before);
        return;
    }
    std::string content = now;
    const std::vector<SettingsPatch> patches = patchesOf(tracked);
    for (auto patch = patches.rbegin(); patch != patches.rend(); ++patch) {
        if (patch->revertIn(content)) continue;
        if (!content.empty() && content.back() != '\n') content += '\n';
        content += patch->removed();
    }
    if (content != now) storeBytes(content);
}

void SettingsFile::close() {}

}  // namespace kestrune
