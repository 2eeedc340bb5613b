#include "feeds/FeedDate.h"

#include "feeds/FeedStore.h"

#include <cstdio>
#include <cstring>

namespace
{

constexpr int kMaxTokens = 6;

bool IsDateSeparator(char c)
{
    return c == ' ' || c == '/' || c == '-' || c == ',';
}

bool IsTrimmed(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool StartsWithAny(const uString& token, const char* const* prefixes, int count)
{
    for (int i = 0; i < count; ++i)
        if (token.startsWith(prefixes[i]))
            return true;
    return false;
}

// The leading decimal number of a token, 0 when it has none. Capped well above
// any day or year so that a long run of digits cannot overflow.
int LeadingNumber(const char* text)
{
    int value = 0;
    for (; IsDigit(*text); ++text)
        if (value < 100000000)
            value = value * 10 + (*text - '0');
    return value;
}

// 1 to 12 for a token starting with an English month abbreviation, else 0.
int MonthFromName(const uString& token)
{
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int i = 0; i < 12; ++i)
        if (token.startsWith(kMonths[i]))
            return i + 1;
    return 0;
}

// Upper case for ASCII letters only: a locale-aware mapping could turn the
// bytes of a UTF-8 sequence into other bytes.
uString UpperTrimmed(const uString& text)
{
    const char* begin = text.c_str();
    const char* end = begin + text.getLength();
    while (begin < end && IsTrimmed(*begin))
        ++begin;
    while (end > begin && IsTrimmed(end[-1]))
        --end;
    uString result(begin, 0, static_cast<int>(end - begin));
    char* data = result.getData();
    for (int i = 0; data && i < result.getLength(); ++i)
        if (data[i] >= 'a' && data[i] <= 'z')
            data[i] = static_cast<char>(data[i] - 'a' + 'A');
    return result;
}

} // namespace

bool NextDateToken(const char*& position, uString& token)
{
    const char* start = position;
    while (*start == ' ')
        ++start;
    const char* end = start;
    while (*end && !IsDateSeparator(*end))
        ++end;
    if (end == start)
        return false;
    token.assign(start, 0, static_cast<int>(end - start));
    position = *end ? end + 1 : end;
    return true;
}

uString CFeedStore::NormalizeDate(uString text)
{
    static const char* const kWeekdays[] = {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
    static const char* const kZones[] = {"GMT", "PST", "PDT", "CST", "EDT", "EST"};

    const uString upper = UpperTrimmed(text);
    int year = 0;
    int month = 0;
    int day = 0;
    int numbers = 0; // day-or-month numbers seen
    int parts = 0;
    uString time;

    const char* position = upper.c_str();
    uString token;
    for (int tokens = 0; tokens < kMaxTokens && NextDateToken(position, token); ++tokens)
    {
        const int length = token.getLength();
        if (StartsWithAny(token, kWeekdays, 7))
            continue;
        // A zone offset, also written "+01:00", which must not replace the time.
        const bool sign = token.getAt(0) == '+' || token.getAt(0) == '-';
        if (sign && (length == 5 || (length == 6 && token.getAt(3) == ':')))
            continue;
        if (token.findChar(':', 1) > 0)
        {
            time = token;
            continue;
        }
        if (StartsWithAny(token, kZones, 6))
            continue;
        if (parts == 3)
            continue;
        const int number = LeadingNumber(token.c_str());
        // Only a token that starts with a digit can be a year: "June", "Sept"
        // and "CEST" are four characters long too.
        if (IsDigit(token.getAt(0)) && (length == 4 || number > 2000))
        {
            year = number;
            ++parts;
        }
        else if (number > 0)
        {
            // A second number makes the first the month: 6/10/2003.
            if (numbers > 0)
                month = day;
            day = number;
            ++numbers;
            ++parts;
        }
        else if (const int named = MonthFromName(token))
        {
            month = named;
            ++parts;
        }
    }

    // A date that is not plainly readable keeps its text rather than becoming
    // one that sorts as a wrong date ("2003-00-10").
    if (parts != 3 || year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return upper;
    uString result;
    result.format("%04d-%02d-%02d %s", year, month, day, time.c_str());
    return result;
}
