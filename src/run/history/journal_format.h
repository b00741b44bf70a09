#pragma once

// The lines of a run's journal, shared by its writer and its reader; this comment is the
// format's one description.
//
// The first line is "kestrune-journal", a TAB and the version: 2, the one written now.
// Every other line is a record: a tag and TAB-separated fields, each escaped as
// run/history/line_fields.h says, then one more field, the CRC-32 (zlib's crc32, 8 lowercase
// hex digits) of the line's bytes before that TAB, and a line feed. So a line torn by a kill
// or a power cut, or damaged since, is known for what it is rather than read as another.
//
// The records, in the order they come:
//   run ID STARTED TASK S_FOLDER T_FOLDER ACTIONS SUBLEVEL FILTERS FOLDERSTRUCT UNDOES
//                                          STARTED is ISO 8601 UTC; UNDOES empty but for an undo
//   root PATH REAL DEVICE INODE            each of the plan's roots, in order
//   trash FOLDER TOP                       the plan's trash, only when it has one
//   folder PATH                            a folder the plan makes
//   step ACTION STATUS SOURCE TARGET IDENTITY ERROR ORIGIN
//                                          ACTION the number of the Action; ORIGIN, the step
//                                          of the undone run that an undo's step takes back,
//                                          empty for none
//   unreadable FOLDER REASON               a folder the plan could not list
//   empty PATH                             a folder to remove after the steps when empty
//   shape PATH SHAPE                       a folder to give back its mode and times
//   acting                                 the whole plan is above: only now may the run act
//   made PATH                              a folder the run made
//   removed PATH SHAPE                     a folder the run removed, as it was
//   copied INDEX TEMPORARY IDENTITY        a whole copy for step INDEX waits under TEMPORARY
//   placed INDEX TARGET IDENTITY           that copy is in place; the step's source is to go
//   done INDEX STATUS TARGET IDENTITY ERROR
//                                          the outcome of step INDEX (its place in the plan)
//   end STATE TIME DONE FAILED LEFT MERGED how the run ended ("done" or "interrupted") and
//                                          when, with its RunFigures; nothing follows it
// IDENTITY is DEVICE INODE TYPE SIZE MODIFIED_NS CHANGED_NS, TYPE a word (file, folder, link,
// other), MODIFIED_NS -9223372036854775808 for a step's identity that its listing gave alone
// (SIZE then 0: a move's file, looked at only as it is renamed); SHAPE is MODE ACCESSED_NS
// MODIFIED_NS. STATUS is statusWord()'s (planned, merged, same, busy, ok, failed) and STATE
// runStateWord()'s: journals hold these words, so they stay. Numbers are decimal.
//
// The run, the plan and `acting` reach the disk before the run acts; the records after them
// as the run goes (see execution_observer.h for when); `end` once. A step is done once.
// FAILED counts the failed outcomes and the plan's unreadable folders, and all four figures
// are those of the done records: a history of long runs reads only the first two lines and
// the last one of each.
//
// Reading: lines whose checksum fails only at the very end are the run's last writes, torn:
// the journal was cut there and holds what comes before. Any other damage (a failed checksum
// with a sound line after it, or a sound line that does not read as its record) makes the
// journal unreadable, and then nothing acts on it.
//
// Version 1, which earlier versions wrote and which is still read: no checksums; no root,
// trash, empty, shape, copied or placed records; step without ORIGIN; `removed PATH`;
// `end STATE TIME DONE FAILED`, its FAILED without the unreadable folders. Only its last
// line may be damaged, and then it is left out.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_shape.h"
#include "run/plan/run_plan.h"

namespace kestrune::journal {

inline constexpr std::string_view kMagic = "kestrune-journal";
inline constexpr int kVersion = 2;  // the version written; 1 is still read
inline constexpr std::string_view kSuffix = ".journal";

namespace tag {
inline constexpr std::string_view run = "run";
inline constexpr std::string_view root = "root";
inline constexpr std::string_view trash = "trash";
inline constexpr std::string_view folder = "folder";
inline constexpr std::string_view step = "step";
inline constexpr std::string_view unreadable = "unreadable";
inline constexpr std::string_view empty = "empty";
inline constexpr std::string_view shape = "shape";
inline constexpr std::string_view acting = "acting";
inline constexpr std::string_view made = "made";
inline constexpr std::string_view removed = "removed";
inline constexpr std::string_view copied = "copied";
inline constexpr std::string_view placed = "placed";
inline constexpr std::string_view done = "done";
inline constexpr std::string_view end = "end";
}  // namespace tag

inline constexpr std::size_t kIdentityFields = 6;
inline constexpr std::size_t kShapeFields = 3;

// 20261209T051233.123456Z: the start time in UTC to the microsecond, sorting as it reads.
std::string runIdAt(std::chrono::system_clock::time_point when);
// 2026-12-09T05:12:33Z
std::string isoTime(std::chrono::system_clock::time_point when);
// The time isoTime() wrote; nullopt for any other text.
std::optional<std::chrono::system_clock::time_point> timeFromIso(const std::string& text);

// "history/ID.journal": a journal's path as messages name it.
std::string nameOf(const std::string& path);

// The first line of a journal of that version, without its line feed.
std::string versionLine(int version);
// The version a first line names; nullopt when it is not a journal's first line.
std::optional<int> versionOf(std::string_view firstLine);

// Writing a record: beginRecord() appends its tag to `text` and returns where the line
// starts, the add...() calls append its fields, and sealRecord() ends it as `version` wants
// (the checksum from version 2, and the line feed).
std::size_t beginRecord(std::string& text, std::string_view tagName);
void addField(std::string& text, std::string_view field);
void addNumber(std::string& text, std::uint64_t number);
void addNumber(std::string& text, std::int64_t number);
void addIdentity(std::string& text, const EntryIdentity& identity);
void addShape(std::string& text, const FolderShape& shape);
void sealRecord(std::string& text, std::size_t start, int version);

// The record a line (without its line feed) holds: from version 2 the line without its
// checksum, nullopt when the checksum is missing or does not match.
std::optional<std::string_view> recordOf(std::string_view line, int version);

bool readNumber(const std::string& text, std::uint64_t& value);
bool readNumber(const std::string& text, std::int64_t& value);
bool readIdentity(const std::vector<std::string>& fields, std::size_t at, EntryIdentity& identity);
bool readShape(const std::vector<std::string>& fields, std::size_t at, FolderShape& shape);
std::optional<StepStatus> statusFromWord(const std::string& word);

}  // namespace kestrune::journal
