#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <string>
#include <vector>

// A list whose rows can be sorted by the text of one column. The list keeps
// its own row data; the sorter only asks for texts and hands back an order.
class ISortableList
{
public:
    virtual ~ISortableList() = default;

    virtual int GetSortRowCount() const = 0;
    // The row's text in the column, UTF-8.
    virtual uString GetSortText(int row, int column) const = 0;
    // Puts the rows in a new order: order[i] is the index, before the call,
    // of the row that goes to position i. Every row keeps its own data.
    virtual void ApplySortOrder(const std::vector<int>& order) = 0;
};

// One row while a sort runs: the row's own data (here its index before the
// sort) and its text in the sort column.
class CListSortItem
{
public:
    CListSortItem(std::uintptr_t data, const uString& text);
    virtual ~CListSortItem() = default;

    std::uintptr_t data;
    uString text;        // UTF-8, read by the number and date modes
    std::u16string wide; // the same as UTF-16 code units, for the text modes
};

// Sorts a list by one column. Built on the stack by a column-click handler,
// sorted once, then destroyed.
//
// Modes: 1 leading integer, 2 leading decimal (C locale; the difference is
// truncated toward zero, so 1.2 and 1.7 are equal), 3 text by UTF-16 code
// units, 4 the same ignoring letter case, 5 date and time (a text that is no
// date equals everything). Some of these answers are not a consistent order,
// so the rows are ordered by a stable merge sort of our own, which stays
// within the rows whatever the comparison answers; a library sort would not.
class CListSorter
{
public:
    CListSorter(ISortableList& list, int column);
    virtual ~CListSorter();
    CListSorter(const CListSorter&) = delete;
    CListSorter& operator=(const CListSorter&) = delete;

    // Sorts with lParamSort = mode when ascending, -mode when descending.
    void Sort(bool ascending, int mode);

    // Negative, 0 or positive; a negative lParamSort reverses the answer, a
    // mode outside 1 to 5 gives 0.
    static int Compare(const CListSortItem& first, const CListSortItem& second, long lParamSort);

    // The order a stable merge sort gives the items under lParamSort:
    // order[i] is the index of the item that goes to position i.
    static std::vector<int> SortOrder(const std::vector<CListSortItem>& items, long lParamSort);

private:
    ISortableList& m_list;
    std::vector<CListSortItem> m_items;
};

// The number a column sorted by number compares: the leading decimal number
// after blanks, read in the C locale whatever the user's locale; 0 when
// nothing parses.
double ParseDoubleW(const char* text);

// The parsing rules of the number and date modes, shared with tests.
namespace listsort
{
// The leading decimal integer after white space, with an optional sign; 0
// when there are no digits. Saturates instead of overflowing.
long long LeadingInteger(const char* text);
// A date and time as seconds (an ordering key, not a time zone aware value);
// false when the whole text is not one of the accepted forms.
bool ParseDateTime(const char* text, long long& seconds);
} // namespace listsort
