#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// The filter string of a task: pieces separated by ";", matched by extension alone.
class FilterPieces {
  public:
    // Blanks around a piece are ignored; empty pieces are dropped.
    explicit FilterPieces(std::string_view filters);

    std::size_t size() const { return pieces_.size(); }
    bool empty() const { return pieces_.empty(); }
    // Does piece i select an entry whose upper-cased extension part is that?
    // "*.*" selects every entry; "*" every entry without an extension.
    bool matches(std::size_t piece, std::string_view upperExtension) const;
    // Does some piece name that upper-cased extension itself ("*.*" names none)?
    bool names(std::string_view upperExtension) const;

  private:
    struct Piece {
        std::string extension;  // upper-cased
        bool everything = false;
    };
    std::vector<Piece> pieces_;
};

}  // namespace kestrune
