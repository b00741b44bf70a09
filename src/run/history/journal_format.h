#pragma once

// The lines of a run's journal, shared by its writer and its reader. Each line is a tag and
// TAB-separated escaped fields (run/line_fields.h):
//   kestrune-journal 1                       the version, first
//   run ID STARTED TASK S_FOLDER T_FOLDER ACTIONS SUBLEVEL FILTERS FOLDERSTRUCT UNDOES
//   folder PATH                              a folder the plan makes
//   step ACTION STATUS SOURCE TARGET IDENTITY(6) ERROR
//   unreadable FOLDER REASON
//   acting                                   the whole plan is above: the run may act
//   made PATH | removed PATH                 a folder the run made or removed
//   done INDEX STATUS TARGET IDENTITY(6) ERROR
//   end STATE TIME DONE FAILED               DONE and FAILED count the outcomes
// IDENTITY is DEVICE INODE TYPE SIZE MODIFIED_NS CHANGED_NS.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/plan/run_plan.h"

namespace kestrune::journal {

inline constexpr std::string_view kVersionLine = "kestrune-journal\t1";
inline constexpr std::string_view kSuffix = ".journal";

namespace tag {
inline constexpr std::string_view run = "run";
inline constexpr std::string_view folder = "folder";
inline constexpr std::string_view step = "step";
inline constexpr std::string_view unreadable = "unreadable";
inline constexpr std::string_view acting = "acting";
inline constexpr std::string_view made = "made";
inline constexpr std::string_view removed = "removed";
inline constexpr std::string_view done = "done";
inline constexpr std::string_view end = "end";
}  // namespace tag

inline constexpr std::size_t kIdentityFields = 6;

// 20261209T051233.123456Z: the start time in UTC to the microsecond, sorting as it reads.
std::string runIdAt(std::chrono::system_clock::time_point when);
// 2026-12-09T05:12:33Z
std::string isoTime(std::chrono::system_clock::time_point when);
// The time isoTime() wrote; nullopt for any other text.
std::optional<std::chrono::system_clock::time_point> timeFromIso(const std::string& text);

void appendIdentity(std::string& line, const EntryIdentity& identity);
bool readIdentity(const std::vector<std::string>& fields, std::size_t at, EntryIdentity& identity);

std::optional<StepStatus> statusFromWord(const std::string& word);
bool readNumber(const std::string& text, std::uint64_t& value);
bool readNumber(const std::string& text, std::int64_t& value);

}  // namespace kestrune::journal
