#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "run/plan/task_record.h"

namespace kestrune {

// What a task as entered would select now, for the editor's live list.
struct SelectionPreview {
    // Paths relative to the source folder, in the order a run takes them; at most the limit.
    std::vector<std::string> shown;
    // For a move or copy with an absolute target folder, the target of each shown entry
    // while its name is free (plainTarget); empty otherwise.
    std::vector<std::string> targets;
    std::size_t total = 0;
    std::vector<std::string> warnings;  // folderWarnings of the record
    // Why a condition or template cannot be read; nothing is selected then.
    std::string problem;
};

// Walks and selects as a run of the record would, touching nothing. A record without an
// existing absolute source selects nothing. Once *stop reads true the walk ends early and the
// preview is partial.
SelectionPreview previewSelection(const TaskRecord& record, std::size_t limit,
                                  const std::atomic<bool>* stop = nullptr);

}  // namespace kestrune
