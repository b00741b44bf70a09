// Any bytes as the tree file: parsing either yields a tree or raises the tree file's error,
// and a tree once written reads back as the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/errors.h"
#include "store/task_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const std::string written = kestrune::treeText(kestrune::parseTreeText(bytes));
        if (kestrune::treeText(kestrune::parseTreeText(written)) != written) std::abort();
    } catch (const kestrune::TreeFileError&) {
        // A line more than one level below the one before it: the error the window shows.
    }
    return 0;
}
