#include <gtest/gtest.h>

#include <string>

#include "run/plan/name_template.h"
#include "run/plan/task_rules.h"

namespace kestrune {
namespace {

// 2026-12-09 12:00 UTC: the same day in local time from UTC-11 to UTC+11.
constexpr std::int64_t kNoonNs = 1'796'817'600LL * 1'000'000'000;

TEST(Templates, FieldsAreFilledFromTheNameAndTheLocalDay) {
    const struct {
        const char* subfolder;
        const char* rename;
        const char* name;
        const char* folders;
        const char* renamed;
    } cases[] = {
        {"{year}/{month}", "", "IMG_1.JPG", "2026/12/", "IMG_1.JPG"},
        {"{YEAR}\\{Day}", "", "a", "2026/09/", "a"},
        {"{ext}", "{year}-{month}-{day} {name}.{ext}", "Scan.PDF", "pdf/", "2026-12-09 Scan.pdf"},
        // An empty folder is dropped; a "." before an empty {ext} goes with it.
        {"{ext}/x", "{name}.{ext}", "README", "x/", "README"},
        {"by-{ext}", "{name}.old.{ext}", "a.tar.gz", "by-gz/", "a.tar.old.gz"},
        {"", "{ext}{name}", ".profile", "", "profile"},
        {"/{{x}}//", "{{{name}}}", "b.c", "{x}/", "{b}"},
    };
    for (const auto& c : cases) {
        SubfolderTemplate subfolder;
        RenameTemplate rename;
        std::string problem;
        ASSERT_TRUE(subfolder.read(c.subfolder, problem)) << problem;
        ASSERT_TRUE(rename.read(c.rename, problem)) << problem;
        EXPECT_EQ(subfolder.filled({c.name, kNoonNs}), c.folders) << c.subfolder;
        EXPECT_EQ(rename.filled({c.name, kNoonNs}), c.renamed) << c.rename;
    }
    RenameTemplate longer;
    std::string problem;
    ASSERT_TRUE(longer.read("{year}-{month}-{day} {name}.{ext}", problem));
    const std::string renamed = longer.filled({std::string(250, 'x') + ".jpg", kNoonNs});
    EXPECT_EQ(renamed.size(), 255u);
    EXPECT_EQ(renamed.substr(0, 11), "2026-12-09 ");
    EXPECT_EQ(renamed.substr(251), ".jpg");
}

// Nothing a template makes may lead out of the target or fail to be a name.
TEST(Templates, TemplatesThatCouldLeaveTheTargetAreRefusedWithTheReason) {
    const struct {
        const char* key;
        const char* value;
        const char* reason;
    } cases[] = {
        {"subfolder", "..", "can make the folder \"..\""},
        {"subfolder", "{year}/./x", "can make the folder \".\""},
        {"subfolder", "..{ext}", "can make the folder \".\""},
        {"subfolder", "{name}", "unknown field {name}"},
        {"subfolder", "{year", "without its \"}\""},
        {"rename", "{name}/{ext}", "holds a \"/\""},
        {"rename", "old\\{name}", "holds a \"/\""},
        {"rename", "{ext}", "can make an empty name"},
        {"rename", "..", "can make the name \"..\""},
        {"rename", "{Name}-{when}", "unknown field {when}"},
        {"rename", "{name", "without its \"}\""},
        {"minsize", "10X", "is no size"},
        {"olderthan", "-3d", "is no time span"},
        {"newerthan", "5y", "is no time span"},
    };
    for (const auto& c : cases) {
        const std::string problem = valueProblem(c.key, c.value);
        EXPECT_NE(problem.find(c.reason), std::string::npos) << c.value << ": " << problem;
    }
    for (const char* fine : {"{year}/{month}", "...", ".{ext}", "{day}.d"}) {
        EXPECT_EQ(valueProblem("subfolder", fine), "") << fine;
    }
    EXPECT_EQ(valueProblem("rename", "{name}.{ext}"), "");
    EXPECT_EQ(valueProblem("filters", "{"), "");
}

}  // namespace
}  // namespace kestrune
