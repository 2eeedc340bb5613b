#pragma once

#include "foundation/uString.h"

// Splits the next token off a publication date for the date normaliser.
// Leading spaces are skipped; the token runs to the first ' ', '/', '-' or ','
// (consumed) or to the end of the text. False, with `position` unchanged, when
// the token would be empty: that ends the splitting.
bool NextDateToken(const char*& position, uString& token);
