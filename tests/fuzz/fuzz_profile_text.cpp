// Any bytes as Setting.cfg: parsing, reading and changing must never crash, and a value
// written must read back as written, also after the text is parsed again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/profile_text.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

// A name and a value that the file can hold as they are: no line break, no brackets or equals
// sign, no blanks or quotes at the ends.
std::string plainPart(std::string_view bytes, std::size_t from, std::size_t length) {
    std::string part = "k";
    for (std::size_t i = from; i < bytes.size() && i < from + length; ++i) {
        const char c = bytes[i];
        if (c >= 'a' && c <= 'z') part.push_back(c);
    }
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kestrune::ProfileText text(bytes);
    const std::string section = plainPart(bytes, 0, 4);
    const std::string key = plainPart(bytes, 4, 4);
    const std::string value = plainPart(bytes, 8, 16);
    (void)text.value(section, key);
    (void)text.hasKeys(section);

    text.set(section, key, value);
    require(text.value(section, key) == value);
    require(text.hasKeys(section));
    const kestrune::ProfileText reread(text.text());
    require(reread.value(section, key) == value);

    text.eraseSection(section);
    require(!kestrune::ProfileText(text.text()).hasKeys(section));
    return 0;
}
