#pragma once

#include <string>

namespace kestrune {

// The outcome of one file action: success, or the system's error code and text.
struct ActionResult {
    int code = 0;  // an errno value; 0 on success
    std::string error;

    bool ok() const { return code == 0; }
    static ActionResult success() { return {}; }
    static ActionResult failure(int code);
    static ActionResult failure(int code, std::string text);
};

// The file actions of a task run. None of them ever replaces an existing entry, not even
// one that another program creates between a test and the action.
// A test may wrap the system's actions to step in at exactly that moment.
class FileActions {
  public:
    virtual ~FileActions() = default;

    // Renames source to target, failing when target exists. A file or symbolic link is
    // moved to another file system by a flushed copy that replaces nothing, and only then
    // is the source removed; a folder is never moved to another file system.
    virtual ActionResult move(const std::string& source, const std::string& target) = 0;
    // Creates target exclusively and copies the content, mode and modification time of the
    // file that source names (a symbolic link is followed). Leaves no partial target behind.
    virtual ActionResult copy(const std::string& source, const std::string& target) = 0;
    // Removes a file or a symbolic link itself; a folder, a read-only file or a missing entry
    // fails.
    virtual ActionResult remove(const std::string& path) = 0;
    // Creates one folder; EEXIST when any entry of that name exists already.
    virtual ActionResult makeFolder(const std::string& path) = 0;
    // Removes an empty folder; a folder with anything in it stays and fails.
    virtual ActionResult removeFolder(const std::string& path) = 0;

    // True when any entry of that name exists: file, folder or link, dangling links too.
    virtual bool exists(const std::string& path) = 0;
    // True when the path names a folder, through symbolic links.
    virtual bool isFolder(const std::string& path) = 0;
};

// The platform's file actions.
FileActions& systemFileActions();

}  // namespace kestrune
