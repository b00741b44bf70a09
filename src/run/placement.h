#pragma once

#include <optional>
#include <string>
#include <unordered_set>

#include "platform/file_actions.h"
#include "run/name_source.h"

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
    // The free target path for the entry, now claimed; nullopt when no free name was found.
    std::optional<std::string> place(const std::string& relative, const std::string& name);

  private:
    bool taken(const std::string& path);
    std::string candidate(const std::string& folder, const std::string& name,
                          const std::string& part) const;

    FileActions& files_;
    NameSource& names_;
    std::string base_;  // t_folder without trailing "/"
    bool flat_;
    std::unordered_set<std::string> claimed_;
};

}  // namespace kestrune
