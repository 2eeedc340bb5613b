#pragma once

#include <cstdint>
#include <string_view>

struct sqlite3;

namespace ado::detail
{

// Registers the Jet functions the program's statements call: Now() and Date()
// in local time, DateDiff(interval, d1, d2[, firstdayofweek[, firstweekofyear]])
// and a LIKE that ignores case beyond ASCII. Returns an SQLite result code.
int registerJetFunctions(sqlite3* db);

// A naive (local) date and time read from text.
struct CivilTime
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Accepts YYYY-MM-DD and YYYY/MM/DD, optionally followed by " " or "T" and
// HH:MM[:SS[.fff]], and MM/DD/YY or MM/DD/YYYY (the C locale's date) with the
// same optional time. Two-digit years 00-29 are 20xx, 30-99 are 19xx.
bool parseCivilTime(std::string_view text, CivilTime& out);

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(int year, int month, int day);

} // namespace ado::detail
