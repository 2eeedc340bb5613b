#pragma once

#include "foundation/uString.h"

// Moves a damaged file out of the way as "<path>.bad-<YYYYmmdd>-<HHMMSS>"
// (with "-1", "-2", ... when that name is taken), so that the next save does
// not overwrite what the user may still recover from it. Returns the new path,
// or "" when the file could not be moved.
uString SetAsideDamagedFile(const uString& path);
