#include "downloads/ListSorter.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace
{
// Rows of one text column, each with data of its own that must travel with it.
class VectorList : public ISortableList
{
public:
    struct Row
    {
        std::string text;
        int data;
    };
    explicit VectorList(std::vector<Row> rows) : rows(std::move(rows)) {}

    int GetSortRowCount() const override { return static_cast<int>(rows.size()); }
    uString GetSortText(int row, int) const override { return uString(rows[row].text.c_str()); }
    void ApplySortOrder(const std::vector<int>& order) override
    {
        std::vector<Row> sorted;
        for (int index : order)
            sorted.push_back(rows.at(index));
        rows = sorted;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const Row& row : rows)
            texts.push_back(row.text);
        return texts;
    }

    std::vector<Row> rows;
};

int Compare(const char* a, const char* b, long mode)
{
    return CListSorter::Compare(CListSortItem(0, a), CListSortItem(0, b), mode);
}

std::vector<std::string> Sorted(std::vector<std::string> texts, bool ascending, int mode)
{
    std::vector<VectorList::Row> rows;
    for (std::size_t i = 0; i < texts.size(); ++i)
        rows.push_back({texts[i], static_cast<int>(i)});
    VectorList list(rows);
    CListSorter(list, 0).Sort(ascending, mode);
    return list.Texts();
}
} // namespace

TEST(ListSorter, ComparisonModesFollowTheirRules)
{
    // Text: code units, so a capital sorts before any small letter; mode 4
    // ignores the case.
    EXPECT_LT(Compare("B", "a", 3), 0);
    EXPECT_GT(Compare("B", "a", 4), 0);
    EXPECT_GT(Compare("B", "a", -3), 0);
    EXPECT_EQ(Compare("Straße", "Straße", 3), 0);
    // A character past U+FFFF (a surrogate pair) sorts before U+FF01 by code units.
    EXPECT_LT(Compare("\xF0\x9F\x98\x80", "\xEF\xBC\x81", 3), 0);

    // Integers: leading digits, white space and sign; no digits reads 0.
    EXPECT_EQ(Compare("12abc", "12", 1), 0);
    EXPECT_EQ(Compare("letters", "0", 1), 0);
    EXPECT_LT(Compare("  -5", "3", 1), 0);
    EXPECT_GT(Compare("9223372036854775807", "-9223372036854775807", 1), 0); // would overflow a difference

    // Decimals: the difference truncates toward zero; C locale decimal point.
    EXPECT_EQ(Compare("1.2", "1.7", 2), 0);
    EXPECT_LT(Compare("1.2", "2.3", 2), 0);
    EXPECT_GT(Compare("1e300", "-1e300", 2), 0);
    EXPECT_EQ(Compare("nan", "0", 2), 0);

    // Dates: the stored form and the panel's form; a non-date equals anything.
    EXPECT_LT(Compare("2023-01-05 10:00:00", "2023-01-05 10:00:01", 5), 0);
    EXPECT_GT(Compare("2024-02-01", "12/31/2023 11:59:59 PM", 5), 0);
    EXPECT_EQ(Compare("not a date", "2023-01-05", 5), 0);
    EXPECT_EQ(Compare("2023-01-05 10:00:00", "2023-01-05 10:00:00", -5), 0);

    EXPECT_EQ(Compare("a", "b", 0), 0);
    EXPECT_EQ(Compare("a", "b", 6), 0);
}

TEST(ListSorter, SortsEachModeAndKeepsEqualRowsInPlace)
{
    EXPECT_EQ(Sorted({"b", "B", "a", "A"}, true, 3), (std::vector<std::string>{"A", "B", "a", "b"}));
    EXPECT_EQ(Sorted({"b", "B", "a", "A"}, false, 3), (std::vector<std::string>{"b", "a", "B", "A"}));
    // Equal under mode 4: stable, so "b" stays before "B".
    EXPECT_EQ(Sorted({"b", "B", "a", "A"}, true, 4), (std::vector<std::string>{"a", "A", "b", "B"}));
    EXPECT_EQ(Sorted({"10 MB", "9 MB", "100 MB", "x"}, true, 1),
              (std::vector<std::string>{"x", "9 MB", "10 MB", "100 MB"}));
    EXPECT_EQ(Sorted({"2.5", "10.25", "-1"}, false, 2), (std::vector<std::string>{"10.25", "2.5", "-1"}));
    EXPECT_EQ(Sorted({"2023-03-01", "2021-07-15 08:00:00", "2022-12-24 18:30"}, true, 5),
              (std::vector<std::string>{"2021-07-15 08:00:00", "2022-12-24 18:30", "2023-03-01"}));
}

TEST(ListSorter, InconsistentAnswersStillGiveEveryRowBackOnce)
{
    // Near-equal decimals (not transitive under mode 2) and texts that are no
    // dates (equal to everything under mode 5): the sort must stay inside the
    // rows and keep each row's data with its text.
    std::mt19937 random(17);
    std::vector<VectorList::Row> rows;
    for (int i = 0; i < 500; ++i)
    {
        std::string text;
        switch (random() % 3)
        {
        case 0:
            text = std::to_string(1 + static_cast<double>(random() % 100) / 100.0);
            break;
        case 1:
            text = "2020-0" + std::to_string(1 + random() % 9) + "-1" + std::to_string(random() % 10);
            break;
        default:
            text = "junk" + std::to_string(random() % 7);
        }
        rows.push_back({text, i});
    }
    for (int mode : {1, 2, 3, 4, 5, -2, -5})
    {
        VectorList list(rows);
        CListSorter(list, 0).Sort(mode > 0, mode > 0 ? mode : -mode);
        ASSERT_EQ(list.rows.size(), rows.size());
        std::vector<int> seen(rows.size(), 0);
        for (const VectorList::Row& row : list.rows)
        {
            ++seen.at(row.data);
            EXPECT_EQ(row.text, rows[row.data].text);
        }
        for (int count : seen)
            EXPECT_EQ(count, 1);
    }
}
