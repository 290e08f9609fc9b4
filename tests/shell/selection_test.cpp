#include "shell/selection.h"

#include <gtest/gtest.h>

namespace {

// Counts its own destruction, to check that a replaced selection is released.
class CountingSelection : public SelectionSource {
public:
    explicit CountingSelection(int *destroyed) : destroyed_(destroyed) {}
    ~CountingSelection() override { ++*destroyed_; }
    size_t Count() const override { return 1; }
    std::string Path(size_t) const override { return "counted"; }

private:
    int *destroyed_;
};

class SelectionTest : public ::testing::Test {
protected:
    void TearDown() override { SetSelection(nullptr); }
};

TEST_F(SelectionTest, NoSelectionGivesZeroAndEmptyPaths) {
    SetSelection(nullptr);
    EXPECT_EQ(GetSelectionCount(), 0u);
    EXPECT_EQ(GetSelectionPath(0), "");
    EXPECT_EQ(GetSelectionPath(5), "");
}

TEST_F(SelectionTest, ListKeepsOrderAndLongPathsAndBoundsIndex) {
    const std::string long_path = "/tmp/" + std::string(1000, 'x') + "/\xC3\xA9t\xC3\xA9.txt";
    SetSelection(
        std::make_unique<ListSelection>(std::vector<std::string>{"b.txt", long_path, "a folder/"}));
    ASSERT_EQ(GetSelectionCount(), 3u);
    EXPECT_EQ(GetSelectionPath(0), "b.txt");
    EXPECT_EQ(GetSelectionPath(1), long_path);
    EXPECT_EQ(GetSelectionPath(2), "a folder/");
    EXPECT_EQ(GetSelectionPath(3), "");
    EXPECT_EQ(GetSelectionPath(static_cast<size_t>(-1)), "");
}

TEST_F(SelectionTest, ReplacingReleasesThePreviousSource) {
    int destroyed = 0;
    SetSelection(std::make_unique<CountingSelection>(&destroyed));
    EXPECT_EQ(GetSelectionPath(0), "counted");
    SetSelection(std::make_unique<ListSelection>(std::vector<std::string>{}));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(GetSelectionCount(), 0u);
    EXPECT_EQ(GetSelectionPath(0), "");
}

} // namespace
