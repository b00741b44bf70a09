#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/file_actions.h"
#include "run/plan/name_set.h"
#include "run/plan/name_source.h"

namespace kestrune {

// Chooses each entry's target path so that nothing is overwritten: a name that is taken on
// disk, or by an earlier entry of the same run, gets a random part drawn until it is free.
class Placement {
  public:
    // targetFolder is the task's t_folder; flat places every entry straight into it,
    // otherwise the entry's folder relative to the source is kept below it.
    Placement(FileActions& files, NameSource& names, std::string targetFolder, bool flat);

    // The folder an entry found in that relative folder ("/" or "/Notes/") goes to.
    std::string targetFolderFor(const std::string& relative) const;
    // Writes the free target path for the entry into `target`, now claimed; false when no
    // free name was found. The entries come grouped by target folder, as a walk gives them:
    // once an entry goes to another folder, no later entry goes back to the one before.
    bool place(const std::string& relative, const std::string& name, std::string& target);
    // A folder (without trailing "/") that the run makes before any entry is placed: its
    // name is taken in its parent, and nothing in it needs a look on disk.
    void planFolder(const std::string& folder);

  private:
    bool inFolder(const std::string& relative) const;
    void enter(const std::string& folder);
    bool taken(const std::string& name);
    std::string candidate(const std::string& name, const std::string& part) const;

    FileActions& files_;
    NameSource& names_;
    std::string base_;  // t_folder without trailing "/"
    bool flat_;
    // The target folder of the latest entry and the names claimed in it. Two target paths
    // can only be the same within one folder, and the entries of a folder come together,
    // so the names of a folder left behind need not be kept.
    std::string folder_;
    NameSet claimed_;
    // Nothing was there when the folder was entered, so nothing below it exists either: the
    // entries going to a new folder need one test for the folder rather than one each. The
    // file action itself never replaces a name taken since.
    bool folderMissing_ = false;
    // Keyed by folder with trailing "/": the folders the run makes, and the names their
    // parents hold for them.
    NameSet planned_;
    std::unordered_map<std::string, std::unordered_set<std::string>> reserved_;
};

}  // namespace kestrune

namespace kestrune {

// Whether `name` is `plain` with a random name part before it, as a name taken when the
// entry was placed gets one.
bool hasRandomPart(std::string_view name, std::string_view plain);

}  // namespace kestrune
