#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

// The one form of a target name that was found taken: a random part of kRandomPartLength
// characters (a-z, A-Z, 0-9), then "_", then the name: rXHNwQA4W77y_logo.png. The executor,
// recovery and undo ask isWithRandomPart() instead of spelling the form again.

inline constexpr std::size_t kRandomPartLength = 12;
// The longest name a folder may hold, in bytes.
inline constexpr std::size_t kNameLimit = 255;

// The name cut to at most `limit` bytes: the end of the part before the extension goes, the
// extension stays (unless it alone leaves no room), and no UTF-8 character is cut in half.
std::string fittedName(std::string_view name, std::size_t limit = kNameLimit);

// The name with that random part in front, fitted to kNameLimit: the part and the "_" always
// stay whole, the name gives way.
std::string withRandomPart(std::string_view part, std::string_view name);

// Whether `candidate` is `name` with some random part in front, in the form above.
bool isWithRandomPart(std::string_view candidate, std::string_view name);

// Whether `candidate` is a name the placement of `planned` could have ended as: `planned`
// itself, or its plain name with another random part; also in the form without "_" that
// runs of earlier releases wrote, so that their journals can still be undone.
bool isPlacedFormOf(std::string_view candidate, std::string_view planned);

// The name a fresh random part gives instead of `planned`, which holds a random part of its
// own when `plannedHasPart`: the same name with the new part in front.
std::string redrawnName(std::string_view planned, bool plannedHasPart, std::string_view part);

// Where an entry's random parts come from: its identity (the listing's device and inode,
// known without a look at the entry) and its target folder and plain name. A preview and a
// later run, in any process, draw the same parts for the same entry.
std::uint64_t nameSeed(std::uint64_t device, std::uint64_t inode, std::string_view targetFolder,
                       std::string_view name);

// The draw-th random part of a seed (0 the first): always the same for the same two numbers.
std::string drawnPart(std::uint64_t seed, std::uint32_t draw);

}  // namespace kestrune
