#include "foundation/uSplit.h"

#include "CLocale.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{

constexpr size_t kWorkArea = 64;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isFloatChar(char c)
{
    return isDigit(c) || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e';
}

// Calls `take` with the NUL-terminated run of accepted characters of each
// piece that has one.
template <typename Accept, typename Take>
void forEachRun(const char* text, char delimiter, Accept accept, Take take)
{
    if (!text)
        return;
    const char* piece = text;
    for (;;)
    {
        const char* end = delimiter ? strchr(piece, delimiter) : nullptr;
        if (!end)
            end = piece + strlen(piece);
        const char* p = piece;
        while (p < end && isSpace(*p))
            ++p;
        char run[kWorkArea];
        size_t length = 0;
        while (p < end && accept(*p))
        {
            if (length < kWorkArea - 1)
                run[length++] = *p;
            ++p;
        }
        run[length] = '\0';
        if (length > 0)
            take(run);
        if (*end == '\0')
            break;
        piece = end + 1;
    }
}

// Digits only, so the only failure is overflow, which strtol clamps.
long toLong(const char* run)
{
    return strtol(run, nullptr, 10);
}

int toInt(const char* run)
{
    const long value = toLong(run);
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

double toDouble(const char* run)
{
    return strtod_l(run, nullptr, clocale_detail::cLocale());
}

template <typename T> T* toArray(const std::vector<T>& values, int* count)
{
    if (count)
        *count = static_cast<int>(values.size());
    T* array = new (std::nothrow) T[values.size()];
    if (array && !values.empty())
        memcpy(array, values.data(), values.size() * sizeof(T));
    return array;
}

} // namespace

void SplitToIntList(const char* text, char delimiter, std::vector<int>& list)
{
    list.clear();
    forEachRun(text, delimiter, isDigit, [&](const char* run) { list.push_back(toInt(run)); });
}

void SplitToLongList(const char* text, char delimiter, std::vector<long>& list)
{
    list.clear();
    forEachRun(text, delimiter, isDigit, [&](const char* run) { list.push_back(toLong(run)); });
}

void SplitToFloatList(const char* text, char delimiter, std::vector<float>& list)
{
    list.clear();
    forEachRun(text, delimiter, isFloatChar,
               [&](const char* run) { list.push_back(static_cast<float>(toDouble(run))); });
}

void SplitToDoubleList(const char* text, char delimiter, std::vector<double>& list)
{
    list.clear();
    forEachRun(text, delimiter, isFloatChar, [&](const char* run) { list.push_back(toDouble(run)); });
}

int* SplitToArray(const char* text, char delimiter, int* count)
{
    std::vector<int> values;
    SplitToIntList(text, delimiter, values);
    return toArray(values, count);
}

long* SplitToLongArray(const char* text, char delimiter, int* count)
{
    std::vector<long> values;
    SplitToLongList(text, delimiter, values);
    return toArray(values, count);
}

float* SplitToFloatArray(const char* text, char delimiter, int* count)
{
    std::vector<float> values;
    SplitToFloatList(text, delimiter, values);
    return toArray(values, count);
}

double* SplitToDoubleArray(const char* text, char delimiter, int* count)
{
    std::vector<double> values;
    SplitToDoubleList(text, delimiter, values);
    return toArray(values, count);
}

void SplitToList(const char* text, char delimiter, std::vector<uString>& list)
{
    list.clear();
    if (!text || !delimiter)
        return;
    for (const char* piece = text;;)
    {
        const char* end = strchr(piece, delimiter);
        if (!end)
            break;
        list.emplace_back(piece, 0, static_cast<int>(end - piece));
        piece = end + 1;
    }
}
