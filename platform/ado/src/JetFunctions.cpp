#include "JetFunctions.h"

#include "Ascii.h"
#include "Utf8.h"
#include "ado/Error.h"

#include <clocale>
#include <cstdio>
#include <ctime>
#include <locale.h>
#include <sqlite3.h>
#include <string>
#include <vector>
#include <wctype.h>

namespace ado::detail
{

namespace
{

// A NULL among the first `count` arguments makes the result NULL.
bool answeredNull(sqlite3_context* context, int count, sqlite3_value** argv)
{
    for (int i = 0; i < count; ++i)
    {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
        {
            sqlite3_result_null(context);
            return true;
        }
    }
    return false;
}

std::string_view textOf(sqlite3_value* value)
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return std::string_view(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

// ---- dates ----

bool readNumber(std::string_view text, std::size_t& i, int minDigits, int maxDigits, int& value, int& digits)
{
    value = 0;
    digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < maxDigits)
    {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    return digits >= minDigits;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string localTimeText(const char* format)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

void nowFunction(sqlite3_context* context, int, sqlite3_value**)
{
    const std::string text = localTimeText("%04d-%02d-%02d %02d:%02d:%02d");
    sqlite3_result_text(context, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void dateFunction(sqlite3_context* context, int, sqlite3_value**)
{
    const std::string text = localTimeText("%04d-%02d-%02d");
    sqlite3_result_text(context, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// The count of interval boundaries between two times, as Jet counts them.
bool dateDiff(std::string_view interval, const CivilTime& a, const CivilTime& b, int firstDayOfWeek,
              std::int64_t& result)
{
    const std::int64_t dayA = daysFromCivil(a.year, a.month, a.day);
    const std::int64_t dayB = daysFromCivil(b.year, b.month, b.day);
    const auto minutes = [](std::int64_t day, const CivilTime& t)
    { return day * 1440 + t.hour * 60 + t.minute; };
    if (interval == "yyyy")
        result = b.year - a.year;
    else if (interval == "q")
        result = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
    else if (interval == "m")
        result = (b.year * 12 + b.month) - (a.year * 12 + a.month);
    else if (interval == "d" || interval == "y")
        result = dayB - dayA;
    else if (interval == "w")
        result = (dayB - dayA) / 7;
    else if (interval == "ww")
    {
        // 1970-01-01 was a Thursday: weekday (0 = Sunday) of day d is (d + 4) mod 7.
        const std::int64_t shift = 4 - (firstDayOfWeek - 1);
        result = floorDiv(dayB + shift, 7) - floorDiv(dayA + shift, 7);
    }
    else if (interval == "h")
        result = (dayB * 24 + b.hour) - (dayA * 24 + a.hour);
    else if (interval == "n")
        result = minutes(dayB, b) - minutes(dayA, a);
    else if (interval == "s")
        result = (minutes(dayB, b) * 60 + b.second) - (minutes(dayA, a) * 60 + a.second);
    else
        return false;
    return true;
}

void dateDiffFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (answeredNull(context, 3, argv))
        return;
    int firstDayOfWeek = 1;
    if (argc >= 4 && sqlite3_value_type(argv[3]) != SQLITE_NULL)
    {
        firstDayOfWeek = sqlite3_value_int(argv[3]);
        if (sqlite3_value_type(argv[3]) != SQLITE_INTEGER || firstDayOfWeek < 0 || firstDayOfWeek > 7)
        {
            sqlite3_result_error(context, kDataTypeMismatchText, -1);
            return;
        }
        if (firstDayOfWeek == 0) // "use the system's": Sunday
            firstDayOfWeek = 1;
    }
    CivilTime a;
    CivilTime b;
    std::int64_t result = 0;
    if (sqlite3_value_type(argv[1]) != SQLITE_TEXT || sqlite3_value_type(argv[2]) != SQLITE_TEXT ||
        !parseCivilTime(textOf(argv[1]), a) || !parseCivilTime(textOf(argv[2]), b) ||
        !dateDiff(toLowerAscii(textOf(argv[0])), a, b, firstDayOfWeek, result))
    {
        sqlite3_result_error(context, kDataTypeMismatchText, -1);
        return;
    }
    sqlite3_result_int64(context, result);
}

// ---- LIKE ----

locale_t foldingLocale()
{
    // Made once and kept for the life of the process; null when the system has
    // no UTF-8 C locale, and folding then covers ASCII only.
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

char32_t fold(char32_t c)
{
    if (c < 0x80)
        return static_cast<char32_t>(asciiLower(static_cast<char>(c)));
    if (c >= kInvalidBase)
        return c;
    const locale_t locale = foldingLocale();
    return locale ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale)) : c;
}

struct PatternItem
{
    enum Kind
    {
        Literal,
        AnyOne,
        AnyRun
    } kind;
    char32_t c;
};

std::vector<char32_t> foldedCodePoints(std::string_view text)
{
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        out.push_back(fold(nextCodePoint(text, i)));
    return out;
}

bool likeMatch(const std::vector<PatternItem>& pattern, const std::vector<char32_t>& text)
{
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t runAt = std::string::npos;
    std::size_t runText = 0;
    while (t < text.size())
    {
        if (p < pattern.size() && pattern[p].kind == PatternItem::AnyRun)
        {
            runAt = p++;
            runText = t;
        }
        else if (p < pattern.size() && (pattern[p].kind == PatternItem::AnyOne || pattern[p].c == text[t]))
        {
            ++p;
            ++t;
        }
        else if (runAt != std::string::npos)
        {
            p = runAt + 1;
            t = ++runText;
        }
        else
        {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p].kind == PatternItem::AnyRun)
        ++p;
    return p == pattern.size();
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (answeredNull(context, argc, argv))
        return;
    const std::string_view patternText = textOf(argv[0]);
    const int limit = sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1);
    if (static_cast<long long>(patternText.size()) > limit)
    {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    bool hasEscape = false;
    char32_t escape = 0;
    if (argc == 3)
    {
        const std::string_view escapeText = textOf(argv[2]);
        std::size_t i = 0;
        if (!escapeText.empty())
            escape = nextCodePoint(escapeText, i);
        if (escapeText.empty() || i != escapeText.size())
        {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        hasEscape = true;
    }
    std::vector<PatternItem> pattern;
    for (std::size_t i = 0; i < patternText.size();)
    {
        char32_t c = nextCodePoint(patternText, i);
        if (hasEscape && c == escape && i < patternText.size())
            pattern.push_back({PatternItem::Literal, fold(nextCodePoint(patternText, i))});
        else if (hasEscape && c == escape)
            pattern.push_back({PatternItem::Literal, fold(c)}); // a trailing escape stands for itself
        else if (c == '%')
        {
            if (pattern.empty() || pattern.back().kind != PatternItem::AnyRun)
                pattern.push_back({PatternItem::AnyRun, 0});
        }
        else if (c == '_')
            pattern.push_back({PatternItem::AnyOne, 0});
        else
            pattern.push_back({PatternItem::Literal, fold(c)});
    }
    sqlite3_result_int(context, likeMatch(pattern, foldedCodePoints(textOf(argv[1]))) ? 1 : 0);
}

} // namespace

bool parseCivilTime(std::string_view text, CivilTime& out)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::size_t i = 0;
    int first = 0;
    int digits = 0;
    if (!readNumber(text, i, 1, 4, first, digits) || i >= text.size() || (text[i] != '-' && text[i] != '/'))
        return false;
    const char separator = text[i++];
    CivilTime t;
    int second = 0;
    int third = 0;
    int secondDigits = 0;
    int thirdDigits = 0;
    if (!readNumber(text, i, 1, 2, second, secondDigits) || i >= text.size() || text[i] != separator)
        return false;
    ++i;
    if (!readNumber(text, i, 1, 4, third, thirdDigits))
        return false;
    if (digits == 4 && thirdDigits <= 2)
    {
        t.year = first;
        t.month = second;
        t.day = third;
    }
    else if (digits <= 2 && separator == '/' && (thirdDigits == 2 || thirdDigits == 4))
    {
        t.month = first;
        t.day = second;
        t.year = thirdDigits == 4 ? third : (third < 30 ? 2000 + third : 1900 + third);
    }
    else
    {
        return false;
    }
    if (i < text.size())
    {
        if (text[i] != ' ' && text[i] != 'T')
            return false;
        ++i;
        while (i < text.size() && text[i] == ' ')
            ++i;
        int n = 0;
        if (!readNumber(text, i, 1, 2, t.hour, n) || i >= text.size() || text[i] != ':')
            return false;
        ++i;
        if (!readNumber(text, i, 2, 2, t.minute, n))
            return false;
        if (i < text.size() && text[i] == ':')
        {
            ++i;
            if (!readNumber(text, i, 2, 2, t.second, n))
                return false;
            if (i < text.size() && text[i] == '.')
            {
                int fraction = 0;
                ++i;
                if (!readNumber(text, i, 1, 9, fraction, n))
                    return false;
            }
        }
        if (i != text.size())
            return false;
    }
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month) || t.hour > 23 ||
        t.minute > 59 || t.second > 59)
        return false;
    out = t;
    return true;
}

std::int64_t daysFromCivil(int year, int month, int day)
{
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int registerJetFunctions(sqlite3* db)
{
    const int text = SQLITE_UTF8;
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function(db, "now", 0, text, nullptr, nowFunction, nullptr, nullptr);
    // Only the argument-less date() is replaced (SQLite's is UTC); date(x, ...) stays SQLite's.
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "date", 0, text, nullptr, dateFunction, nullptr, nullptr);
    for (int argc = 3; argc <= 5 && rc == SQLITE_OK; ++argc)
        rc = sqlite3_create_function(db, "datediff", argc, pure, nullptr, dateDiffFunction, nullptr, nullptr);
    for (int argc = 2; argc <= 3 && rc == SQLITE_OK; ++argc)
        rc = sqlite3_create_function(db, "like", argc, pure, nullptr, likeFunction, nullptr, nullptr);
    return rc;
}

} // namespace ado::detail
