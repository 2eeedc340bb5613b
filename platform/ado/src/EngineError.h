#pragma once

#include "ado/Error.h"

struct sqlite3;

namespace ado::detail
{

// The Error for a failed SQLite call: the code mapped to the provider value a
// caller would have seen, the description SQLite's message and result code.
Error engineError(sqlite3* db, int resultCode);

} // namespace ado::detail
