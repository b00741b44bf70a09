#include <gtest/gtest.h>

#include "store/errors.h"
#include "store/task_tree.h"

namespace kestrune {
namespace {

// The parsed tree written back one node a line, "." per level, to compare shapes at a glance.
std::string shape(std::string_view content) {
    std::string out;
    std::vector<std::pair<const TreeNode*, int>> pending;
    const auto roots = parseTreeText(content);
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) pending.emplace_back(it->get(), 0);
    while (!pending.empty()) {
        const auto [node, level] = pending.back();
        pending.pop_back();
        out += std::string(static_cast<std::size_t>(level), '.') + "[" + node->text + "]";
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            pending.emplace_back(it->get(), level + 1);
        }
    }
    return out;
}

std::string levelError(std::string_view content) {
    try {
        parseTreeText(content);
    } catch (const TreeFileError& error) {
        return error.what();
    }
    return "no error";
}

TEST(TreeText, EveryLineEndCounts) {
    EXPECT_EQ(shape("A\nB"), "[A][B]");
    EXPECT_EQ(shape("A\r\rB"), "[A][][B]");
    EXPECT_EQ(shape("A\n\rB"), "[A][][B]");
    EXPECT_EQ(shape("A\r\n\r\n"), "[A][]");
    EXPECT_EQ(shape("A\r\nB\r\n"), "[A][B]");
    EXPECT_EQ(shape(""), "");
}

TEST(TreeText, ANulEndsTheContent) {
    EXPECT_EQ(shape(std::string("A\r\nB\0C\r\nD", 9)), "[A][B]");
    EXPECT_EQ(shape(std::string("\0A", 2)), "");
}

TEST(TreeText, TabsAndSpacesInAnyMixGiveTheLevel) {
    EXPECT_EQ(shape("A\r\n B"), "[A].[B]");
    EXPECT_EQ(shape("A\r\n\tB\r\n \tC\r\n\t D\r\nE"), "[A].[B]..[C]..[D][E]");
    EXPECT_EQ(shape("A\r\n\tB\r\n\t\tC\r\n\tD"), "[A].[B]..[C].[D]");
    EXPECT_EQ(shape("A  \r\n\tB\tC "), "[A  ].[B\tC ]");
}

TEST(TreeText, TheFirstLineIsAlwaysARoot) {
    EXPECT_EQ(shape("\t\tA\r\n\tB\r\n\tC"), "[A].[B].[C]");
    EXPECT_EQ(levelError("\t\tA\r\n\t\t\tB"), "Invalid level (3) for item \"B\"");
}

TEST(TreeText, ALineTwoLevelsDeeperIsAnError) {
    EXPECT_EQ(levelError("A\r\n  B"), "Invalid level (2) for item \"B\"");
    EXPECT_EQ(levelError("A\r\n\t\tB x\r\nC"), "Invalid level (2) for item \"B x\"");
}

TEST(TreeText, SavesTabsTextAndCrLf) {
    const auto roots = parseTreeText("All Tasks\nx\n\tDesktop Tidy\n\t\tDeep\n");
    EXPECT_EQ(treeText(roots), "All Tasks\r\nx\r\n\tDesktop Tidy\r\n\t\tDeep\r\n");
    EXPECT_EQ(treeText({}), "");
}

TEST(TreeText, SavesTextsTheFileCannotHoldSoThatTheyLoadBackAsOneNode) {
    auto roots = parseTreeText("A\r\n\tB");
    roots[0]->children[0]->text = std::string("\t\t\t X\r\nY\0Z", 10);
    roots[0]->text = " \tW ";
    EXPECT_EQ(treeText(roots), "W \r\n\tX  Y Z\r\n");
    EXPECT_EQ(treeText(parseTreeText(treeText(roots))), treeText(roots));
}

TEST(TreeNode, AMillionLevelsDeepNeitherOverflowsTheStackWhenWalkedOrFreed) {
    auto root = std::make_unique<TreeNode>();
    TreeNode* deepest = root.get();
    for (int level = 0; level < 1000000; ++level) {
        deepest->children.push_back(std::make_unique<TreeNode>());
        deepest->children.back()->parent = deepest;
        deepest = deepest->children.back().get();
    }
    EXPECT_EQ(TaskTree::preOrder(root.get()).size(), 1000001u);
    root.reset();
}

}  // namespace
}  // namespace kestrune
