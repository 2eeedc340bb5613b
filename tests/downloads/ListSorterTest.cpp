#include "downloads/ListSorter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace
{
// Rows of one text column; each row remembers where it started, so that its
// data can be seen to travel with its text.
class VectorList : public ISortableList
{
public:
    explicit VectorList(std::vector<std::string> rows) : texts(std::move(rows)), origin(texts.size())
    {
        std::iota(origin.begin(), origin.end(), 0);
    }
    int GetSortRowCount() const override { return static_cast<int>(texts.size()); }
    uString GetSortText(int row, int) const override { return uString(texts[row].c_str()); }
    void ApplySortOrder(const std::vector<int>& order) override
    {
        std::vector<std::string> sortedTexts;
        std::vector<int> sortedOrigin;
        for (int index : order)
        {
            sortedTexts.push_back(texts.at(index));
            sortedOrigin.push_back(origin.at(index));
        }
        texts.swap(sortedTexts);
        origin.swap(sortedOrigin);
    }

    std::vector<std::string> texts;
    std::vector<int> origin;
};

int Compare(const char* a, const char* b, long mode)
{
    return CListSorter::Compare(CListSortItem(0, a), CListSortItem(0, b), mode);
}

std::vector<std::string> Sorted(std::vector<std::string> texts, bool ascending, int mode)
{
    VectorList list(std::move(texts));
    CListSorter(list, 0).Sort(ascending, mode);
    return list.texts;
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
    std::vector<std::string> rows;
    for (int i = 0; i < 500; ++i)
    {
        const unsigned kind = random() % 3;
        if (kind == 0)
            rows.push_back(std::to_string(1 + static_cast<double>(random() % 100) / 100.0));
        else if (kind == 1)
            rows.push_back("2020-0" + std::to_string(1 + random() % 9) + "-1" +
                           std::to_string(random() % 10));
        else
            rows.push_back("junk" + std::to_string(random() % 7));
    }
    for (int mode : {1, 2, 3, 4, 5, -2, -5})
    {
        VectorList list(rows);
        CListSorter(list, 0).Sort(mode > 0, mode > 0 ? mode : -mode);
        ASSERT_EQ(list.texts.size(), rows.size());
        std::vector<int> seen(rows.size(), 0);
        for (std::size_t i = 0; i < rows.size(); ++i)
        {
            ++seen.at(list.origin[i]);
            EXPECT_EQ(list.texts[i], rows[list.origin[i]]);
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(rows.size())) << "mode " << mode;
    }
}
