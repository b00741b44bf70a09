// The settings file as Windows' own profile functions read it (GetPrivateProfileStringA).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/settings_file.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

// One shape of the settings file's lines, set among ordinary sections and keys.
struct Shape {
    const char* name;
    std::vector<const char*> lines;
    // Wine's own profile functions read it otherwise than Windows' do: they see no section
    // named "" and no key without a name.
    bool wineDiffers = false;
};

const Shape kShapes[] = {
    {"plain keys", {"[A]", "k=v", "q=w"}},
    {"blanks around names and values", {"[ A ]", "  k  =  v w  ", "\tq\t=\tx\t"}},
    {"names in another letter case", {"[a]", "K=v"}},
    {"a repeated section", {"[A]", "k=first", "[B]", "k=b", "[a]", "k=second", "q=only later"}},
    {"a repeated key", {"[A]", "k=first", "K=second"}},
    {"quotes",
     {"[A]", "k=\"quoted\"", "q='single'", "q2=\" spaced \"", "q3=\"unbalanced", "q4=\"a\"b\"",
      "q5=''"}},
    {"empty values", {"[A]", "k=", "q=  "}},
    {"comments", {"; a comment", "[A]", "; k=commented", "# q=hashed", "k=v ; not a comment"}},
    {"blank lines", {"", "[A]", "", "   ", "k=v", ""}},
    {"lines before any section", {"k=outside", "[A]", "q=inside"}},
    {"an empty section name", {"[]", "k=v", "[A]", "q=w"}, true},
    {"a header with more after it", {"[A] trailing", "k=v", "[B", "q=w"}},
    {"a key line without a name", {"[A]", "=novalue", "k=v"}, true},
    {"a section whose only key has no name", {"[A]", "=novalue", "[B]", "k=v"}, true},
    {"a line without '=' under a section", {"[A]", "k", "k=later", "q=w"}},
};

const char* const kSections[] = {"A", "a", "B", "", "Missing"};
const char* const kKeys[] = {"k", "K", "q", "q2", "q3", "q4", "q5", "", "missing"};
constexpr const char* kAbsent = "<absent>";

// Wine's ntdll names its version; Windows' has no such function.
bool underWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string windowsRead(const std::string& path, const char* section, const char* key) {
    char value[4096];
    const DWORD length =
        GetPrivateProfileStringA(section, key, kAbsent, value, sizeof value, path.c_str());
    return std::string(value, length);
}

// Windows lists a section's key names one after another, each ended by a zero byte.
bool windowsHasKeys(const std::string& path, const char* section) {
    char names[16384];
    return GetPrivateProfileStringA(section, nullptr, "", names, sizeof names, path.c_str()) > 0;
}

TEST(ProfileFunctions, ReadEveryShapeAsTheStoreReadsIt) {
    test::ScratchDir scratch;
    int made = 0;
    // Under Wine the shapes its profile functions read otherwise are left out: the comparison
    // would test Wine, not the store. Every other shape is compared there too.
    const bool wine = underWine();
    for (const Shape& shape : kShapes) {
        if (wine && shape.wineDiffers) continue;
        for (const char* end : {"\n", "\r\n"}) {
            std::string text = "[Before]\nx=1\n";
            for (const char* line : shape.lines) text.append(line).append(end);
            text.append("[After]").append(end).append("y=2").append(end);
            const std::string path = scratch.file("shape" + std::to_string(made++) + ".cfg");
            test::writeFile(path, text);
            const SettingsSnapshot store = SettingsFile(path).snapshot();
            const std::string where =
                std::string(shape.name) + (end[0] == '\r' ? ", CR LF" : ", LF");
            for (const char* section : kSections) {
                EXPECT_EQ(store.sectionExists(section), windowsHasKeys(path, section))
                    << where << ": whether [" << section << "] holds a key";
                for (const char* key : kKeys) {
                    EXPECT_EQ(store.readString(section, key, kAbsent),
                              windowsRead(path, section, key))
                        << where << ": [" << section << "] " << key;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kestrune
