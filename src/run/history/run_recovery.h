#pragma once

#include <string>
#include <vector>

namespace kestrune {

// Finds the runs of this state folder that were cut short (killed, crashed, the power gone)
// and brings each to a known state: the temporary copies it left in the folders its plan
// touches are removed, a move across file systems caught between its copy and the removal
// of its source is finished (the source stays beside its copy, and is reported, when it
// changed since), what the disk shows of the steps after the journal's last record is
// recorded, and the journal is marked interrupted, so the run can be undone as far as it
// went. A run still going (its journal locked) is left alone. Returns one line per thing
// done, empty when there was nothing to recover. Call it before any command that changes
// the disk.
std::vector<std::string> recoverInterruptedRuns(const std::string& stateFolder);

}  // namespace kestrune
