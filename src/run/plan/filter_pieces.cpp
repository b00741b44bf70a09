#include "run/plan/filter_pieces.h"

#include "run/plan/path_rules.h"

namespace kestrune {

FilterPieces::FilterPieces(std::string_view filters) {
    for (const auto& raw : split(filters, ';')) {
        const auto piece = trimBlanks(raw);
        if (piece.empty()) continue;
        std::string extension = extensionPart(upperAscii(piece));
        const bool everything = extension == ".*";
        pieces_.push_back({std::move(extension), everything});
    }
}

bool FilterPieces::matches(std::size_t piece, std::string_view upperExtension) const {
    const Piece& p = pieces_[piece];
    return p.everything || p.extension == upperExtension;
}

bool FilterPieces::names(std::string_view upperExtension) const {
    for (const Piece& p : pieces_) {
        if (!p.everything && p.extension == upperExtension) return true;
    }
    return false;
}

}  // namespace kestrune
