#include "downloads/ListSorter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <locale.h>

namespace
{
int Sign(long long value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

int CompareCodeUnits(const std::u16string& first, const std::u16string& second)
{
    return Sign(first.compare(second));
}

std::u16string LowerCase(std::u16string text)
{
    for (char16_t& unit : text)
    {
        // Surrogate halves are no letters; towlower would see a bogus code point.
        if (unit < 0xD800 || unit > 0xDFFF)
            unit = static_cast<char16_t>(std::towlower(static_cast<wint_t>(unit)));
    }
    return text;
}

locale_t CLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

int CompareDates(const uString& first, const uString& second)
{
    long long a = 0, b = 0;
    if (!listsort::ParseDateTime(first.c_str(), a) || !listsort::ParseDateTime(second.c_str(), b))
        return 0;
    return Sign(a - b);
}

std::u16string Wide(const uString& text)
{
    uString copy(text);
    const char16_t* wide = copy.getWide();
    return wide != nullptr ? std::u16string(wide) : std::u16string();
}
} // namespace

double ParseDoubleW(const char* text)
{
    double value = strtod_l(text, nullptr, CLocale());
    return std::isnan(value) ? 0.0 : value;
}

namespace listsort
{
long long LeadingInteger(const char* text)
{
    return std::strtoll(text, nullptr, 10); // saturates instead of overflowing
}

bool ParseDateTime(const char* text, long long& seconds)
{
    static const char* const kForms[] = {
        "%Y-%m-%d %H:%M:%S",     "%Y-%m-%dT%H:%M:%S",    "%Y-%m-%d %H:%M", "%Y-%m-%d",
        "%m/%d/%Y %H:%M:%S",     "%m/%d/%Y %I:%M:%S %p", "%m/%d/%Y %H:%M", "%m/%d/%Y",
        "%a, %d %b %Y %H:%M:%S", "%d %b %Y %H:%M:%S",    "%d %b %Y",
    };
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text == '\0')
        return false;
    for (const char* form : kForms)
    {
        struct tm fields;
        std::memset(&fields, 0, sizeof fields);
        const char* end = strptime(text, form, &fields);
        if (end == nullptr)
            continue;
        while (*end == ' ' || *end == '\t')
            ++end;
        if (*end != '\0')
            continue;
        // An ordering key: the same calendar rule for every row, no time zone.
        seconds = static_cast<long long>(timegm(&fields));
        return true;
    }
    return false;
}
} // namespace listsort

CListSortItem::CListSortItem(std::uintptr_t data, const uString& text)
    : data(data), text(text), wide(Wide(text))
{
}

CListSorter::CListSorter(ISortableList& list, int column) : m_list(list)
{
    int rows = list.GetSortRowCount();
    m_items.reserve(rows > 0 ? static_cast<std::size_t>(rows) : 0);
    for (int row = 0; row < rows; ++row)
        m_items.emplace_back(static_cast<std::uintptr_t>(row), list.GetSortText(row, column));
}

// The rows never held our records (the list applies the order itself), so
// there is nothing to give back.
CListSorter::~CListSorter() = default;

void CListSorter::Sort(bool ascending, int mode)
{
    if (m_items.empty())
        return;
    std::vector<int> order = SortOrder(m_items, ascending ? mode : -mode);
    std::vector<int> rows;
    rows.reserve(order.size());
    for (int index : order)
        rows.push_back(static_cast<int>(m_items[static_cast<std::size_t>(index)].data));
    m_list.ApplySortOrder(rows);
}

int CListSorter::Compare(const CListSortItem& first, const CListSortItem& second, long lParamSort)
{
    int sign = lParamSort < 0 ? -1 : 1;
    long mode = lParamSort < 0 ? -lParamSort : lParamSort;
    int result = 0;
    switch (mode)
    {
    case 1:
    {
        long long a = listsort::LeadingInteger(first.text.c_str());
        long long b = listsort::LeadingInteger(second.text.c_str());
        result = a < b ? -1 : (a > b ? 1 : 0); // a three-way answer cannot overflow
        break;
    }
    case 2:
    {
        double difference = std::trunc(ParseDoubleW(first.text.c_str()) - ParseDoubleW(second.text.c_str()));
        result = difference < 0 ? -1 : (difference > 0 ? 1 : 0);
        break;
    }
    case 3:
        result = CompareCodeUnits(first.wide, second.wide);
        break;
    case 4:
        result = CompareCodeUnits(LowerCase(first.wide), LowerCase(second.wide));
        break;
    case 5:
        result = CompareDates(first.text, second.text);
        break;
    default:
        return 0;
    }
    return result * sign;
}

std::vector<int> CListSorter::SortOrder(const std::vector<CListSortItem>& items, long lParamSort)
{
    // Bottom-up merge sort on indexes. A merge only ever looks at the heads
    // of its two runs, so no answer of the comparison can lead it outside
    // them; taking the left head unless the right one is strictly smaller
    // keeps equal rows in their order.
    const std::size_t count = items.size();
    std::vector<int> order(count), merged(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = static_cast<int>(i);
    for (std::size_t width = 1; width < count; width *= 2)
    {
        for (std::size_t left = 0; left < count; left += 2 * width)
        {
            std::size_t middle = std::min(left + width, count);
            std::size_t right = std::min(left + 2 * width, count);
            std::size_t a = left, b = middle, out = left;
            while (a < middle && b < right)
            {
                const CListSortItem& head = items[static_cast<std::size_t>(order[a])];
                const CListSortItem& other = items[static_cast<std::size_t>(order[b])];
                merged[out++] = Compare(other, head, lParamSort) < 0 ? order[b++] : order[a++];
            }
            while (a < middle)
                merged[out++] = order[a++];
            while (b < right)
                merged[out++] = order[b++];
        }
        order.swap(merged);
    }
    return order;
}
