// Any bytes as a run's journal: reading it either yields its records or raises the journal's
// error; the summary agrees with the full reading, and so does a summary from the two ends
// whenever it can be had; the figures are those of the records; the sound prefix reads alike.
// The same bytes are read again with each line's checksum made good, so that the records
// themselves, not only the checksums, meet the mutations, and in small pieces, as a file is
// read, with the same outcome.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/history/journal_format.h"
#include "run/history/journal_reader.h"

namespace {

using kestrune::JournalContent;
using kestrune::JournalDetail;

std::optional<JournalContent> read(std::string_view bytes, JournalDetail detail) {
    try {
        return kestrune::parseJournal(bytes, "history/fuzz.journal", detail);
    } catch (const kestrune::JournalError&) {
        return std::nullopt;  // damaged, or not a journal: the error the history shows
    }
}

void require(bool holds) {
    if (!holds) std::abort();
}

// What a summary tells, whichever way it was read.
void requireSameSummary(const JournalContent& a, const JournalContent& b) {
    require(a.version == b.version && a.id == b.id && a.started == b.started &&
            a.undoes == b.undoes && a.plan.task == b.plan.task && a.ended == b.ended &&
            a.end == b.end && a.endTime == b.endTime && a.figures == b.figures);
}

// The bytes with every line after the first ending in its own checksum, any checksum it had
// dropped first; a last line without a line feed stays as it is, torn.
std::string resealed(std::string_view bytes) {
    std::size_t start = bytes.find('\n');
    if (start == std::string_view::npos) return std::string(bytes);
    std::string out(bytes.substr(0, ++start));
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string_view::npos;
         start = end + 1) {
        std::string_view line = bytes.substr(start, end - start);
        const std::size_t tab = line.rfind('\t');
        if (tab != std::string_view::npos && line.size() - tab == 9) line = line.substr(0, tab);
        const std::size_t begun = out.size();
        out.append(line);
        kestrune::journal::sealRecord(out, begun, kestrune::journal::kVersion);
    }
    out.append(bytes.substr(start));
    return out;
}

// The bytes cut into pieces of a few bytes each, the size taken from the bytes themselves.
std::optional<JournalContent> readInPieces(std::string_view bytes) {
    const std::size_t size = bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes[0]) % 13;
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at < bytes.size(); at += size)
        pieces.push_back(bytes.substr(at, size));
    try {
        return kestrune::parseJournal(pieces, "history/fuzz.journal");
    } catch (const kestrune::JournalError&) {
        return std::nullopt;
    }
}

void check(std::string_view bytes) {
    const std::size_t size = bytes.size();
    const std::optional<JournalContent> full = read(bytes, JournalDetail::Full);
    const std::optional<JournalContent> pieces = readInPieces(bytes);
    require(full.has_value() == pieces.has_value());
    if (full) {
        requireSameSummary(*full, *pieces);
        require(pieces->outcomes.size() == full->outcomes.size() &&
                pieces->plan.steps.size() == full->plan.steps.size() &&
                pieces->soundLength == full->soundLength);
    }
    const std::optional<JournalContent> summary = read(bytes, JournalDetail::Summary);
    require(full.has_value() == summary.has_value());
    for (const std::size_t end : {size / 2, std::size_t{64}, size}) {
        const std::size_t part = end < size ? end : size;
        const auto ends =
            kestrune::summaryFromEnds(bytes.substr(0, part), bytes.substr(size - part));
        if (ends && full) requireSameSummary(*ends, *full);
    }
    if (!full) return;
    requireSameSummary(*full, *summary);
    require(full->planComplete == summary->planComplete &&
            full->soundLength == summary->soundLength);

    kestrune::RunFigures counted;
    counted.failed = full->plan.unreadable.size();
    for (const kestrune::StepOutcome& outcome : full->outcomes) {
        require(outcome.index < full->plan.steps.size());
        counted.add(outcome.result.status);
    }
    require(counted == full->figures);

    require(full->soundLength > 0 && full->soundLength <= size &&
            bytes[full->soundLength - 1] == '\n');
    const std::optional<JournalContent> prefix =
        read(bytes.substr(0, full->soundLength), JournalDetail::Full);
    require(prefix.has_value());
    requireSameSummary(*prefix, *full);
    require(prefix->outcomes.size() == full->outcomes.size() &&
            prefix->soundLength == full->soundLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(bytes);
    check(resealed(bytes));
    return 0;
}
