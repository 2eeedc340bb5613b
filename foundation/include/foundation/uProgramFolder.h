#pragma once

#include "foundation/uString.h"

// The folder of the running program, without a trailing separator; empty when
// it cannot be found. The environment variable KESTROVA_PROGRAM_DIR, when set
// and not empty, names it instead (tests run from the build tree, and a
// development build can be pointed at its data files).
uString GetModuleDirectory();
