#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/file_actions.h"
#include "run/plan/name_set.h"
#include "run/plan/name_source.h"

namespace kestrune {

// One entry to be placed.
struct EntryToPlace {
    std::string_view relative;   // its folder below the source: "/" or "/Notes/"
    std::string_view subfolder;  // the folders a subfolder template adds: "" or "2026/12/"
    std::string_view name;       // its plain target name
    // The listing's device and inode: with the target folder and the name, the seed of the
    // entry's random parts (nameSeed).
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// How the name was found: what the executor needs to draw the next part, should the name be
// taken after all by the time the entry is acted on.
struct PlacedName {
    std::uint64_t seed = 0;
    std::uint32_t draws = 0;  // 0: the plain name; n: the name holds the part of draw n - 1
};

// Chooses each entry's target path so that nothing is overwritten: a name that is taken on
// disk, or by an earlier entry of the same run, gets a random part drawn until it is free.
class Placement {
  public:
    // targetFolder is the task's t_folder; flat places every entry straight into it,
    // otherwise the entry's folder relative to the source is kept below it. `revisits`: an
    // entry may go back to a target folder that earlier entries left (a subfolder template
    // sorts one source folder into many), so the names of every folder are kept.
    Placement(FileActions& files, NameSource& names, std::string targetFolder, bool flat,
              bool revisits = false);

    // The folder an entry found in that relative folder ("/" or "/Notes/") goes to, before
    // any subfolder template.
    std::string targetFolderFor(std::string_view relative) const;
    // Writes the free target path for the entry into `target`, now claimed, and how it was
    // found into `placed`; false when no free name was found. Without `revisits` the entries
    // come grouped by target folder, as a walk gives them: once an entry goes to another
    // folder, no later entry goes back to the one before.
    bool place(const EntryToPlace& entry, std::string& target, PlacedName& placed);
    // A folder (without trailing "/") that the run makes before any entry is placed: its
    // name is taken in its parent, and nothing in it needs a look on disk.
    void planFolder(const std::string& folder);

  private:
    // A target folder left behind, kept when folders are revisited.
    struct LeftFolder {
        NameSet claimed;
        bool missing = false;
    };

    bool inFolder(const EntryToPlace& entry) const;
    void enter(std::string folder);
    bool taken(std::string_view name);

    FileActions& files_;
    NameSource& names_;
    std::string base_;  // t_folder without trailing "/"
    bool flat_;
    bool revisits_;
    // The target folder of the latest entry and the names claimed in it. Two target paths
    // can only be the same within one folder, and the entries of a folder come together,
    // so the names of a folder left behind need not be kept, unless folders are revisited.
    std::string folder_;
    NameSet claimed_;
    // Nothing was there when the folder was entered, so nothing below it exists either: the
    // entries going to a new folder need one test for the folder rather than one each. The
    // file action itself never replaces a name taken since.
    bool folderMissing_ = false;
    std::unordered_map<std::string, LeftFolder> left_;
    // Keyed by folder with trailing "/": the folders the run makes, and the names their
    // parents hold for them.
    NameSet planned_;
    std::unordered_map<std::string, std::unordered_set<std::string>> reserved_;
};

}  // namespace kestrune
