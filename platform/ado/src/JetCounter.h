#pragma once

#include "SqlTokenizer.h"

#include <string>
#include <vector>

namespace ado::detail
{

// Jet numbers a column of type COUNTER or AUTOINCREMENT (optionally written
// with "(1, 1)") by itself; SQLite numbers only its rowid alias. In a CREATE
// TABLE such a column becomes "INTEGER PRIMARY KEY AUTOINCREMENT" (a table
// key naming that column alone is folded into it). Refused, with a reason in
// `error`, where SQLite cannot number it: a second counter, another primary
// key, a seed or step other than 1, a counter added by ALTER TABLE.
// The rewrite goes into `output`.
bool numberCounterColumns(const std::vector<Token>& tokens, const std::vector<std::size_t>& significant,
                          TokenOutput& output, std::string& error);

} // namespace ado::detail
