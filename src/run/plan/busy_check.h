#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/open_files.h"
#include "run/plan/filter_pieces.h"
#include "run/plan/run_plan.h"

namespace kestrune {

// Why an entry is left for a later run (StepStatus::Busy).
enum class BusyReason {
    None,
    OpenForWriting,      // some process holds the file open for writing
    UnfinishedDownload,  // .part, .crdownload, .download, .partial, not named by the filters
    RecentlyChanged,     // automatic runs only: modified within the last few seconds
};

// How long an automatic run leaves a file alone after its last modification. Shorter than the
// scheduler's quiet time after the last change: a file it passes over was written again
// since that change, and that write's own event brings the next run.
constexpr std::int64_t kSettleNs = 2'000'000'000;

// Tells for each entry of one run whether it is still being written. Holds one look at the
// system's open files, taken once for the whole run.
class BusyCheck {
  public:
    // automaticNowNs: for an automatic run, its start in nanoseconds since the epoch, so
    // that files modified within kSettleNs before it are left alone; nullopt for a run
    // started by hand.
    BusyCheck(FilterPieces filters, OpenForWriting openFiles,
              std::optional<std::int64_t> automaticNowNs = std::nullopt);

    // name: the entry's name within its folder; identity: the entry as listed.
    BusyReason check(std::string_view name, const EntryIdentity& identity) const;

  private:
    FilterPieces filters_;
    OpenForWriting openFiles_;
    std::optional<std::int64_t> nowNs_;
};

}  // namespace kestrune
