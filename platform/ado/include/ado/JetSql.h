#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ado
{

// Translates one statement of the Jet SQL the program writes into SQLite SQL.
// Works on tokens, never on raw text, so nothing inside a string literal or a
// bracketed name is touched:
//  - 0x followed by UTF-16LE code units in hex (the program's text literals)
//    and "..." strings become bound text parameters (?1, ?2, ...); in a
//    SELECT, INSERT, UPDATE or DELETE so do '...' strings and a number
//    written after =, <, >, "," or "(" (outside ORDER BY and GROUP BY), so
//    that statements that differ only in their values share one normalised
//    text, and with it one prepared statement;
//  - DELETE * FROM and DELETE t.* FROM lose the star;
//  - a table-qualified target in an UPDATE's SET list loses its qualifier;
//  - + next to a text operand becomes ||;
//  - a COUNTER or AUTOINCREMENT column of a CREATE TABLE becomes the table's
//    numbered key (INTEGER PRIMARY KEY AUTOINCREMENT).
// Refused: parameters written by the caller, a second statement, unterminated
// quotes or brackets, a hex literal whose digit count is not a multiple of 4,
// a counter that SQLite could not number (see JetCounter.h).
enum class ParameterKind : unsigned char
{
    Text,
    Integer,
    Real
};

struct JetTranslation
{
    std::string sql;
    std::vector<std::string> parameters; // bound to ?1, ?2, ...: UTF-8 text, or a number as written
    std::vector<ParameterKind> kinds;    // one per parameter
    std::string error;                   // empty on success
};

JetTranslation translateJetSql(std::string_view statement);

// Decodes UTF-16LE code units written as hex digits into UTF-8, leniently (a
// lone surrogate becomes U+FFFD). False when the digits are not whole units.
bool decodeUtf16Hex(std::string_view hexDigits, std::string& utf8);

// True when `text` holds nothing but blanks, comments and semicolons.
bool isBlankSqlTail(std::string_view text);

// Renames the object a CREATE TABLE or CREATE INDEX statement defines, and for
// an index also the table it is on (when `onTable` is not empty). Quotes the
// new names. False when the statement has no such shape.
bool renameCreateStatement(std::string_view sql, std::string_view newName, std::string_view onTable,
                           std::string& out);

// "name" with embedded quotes doubled: an identifier safe to splice into SQL.
std::string quoteIdentifier(std::string_view name);

} // namespace ado
