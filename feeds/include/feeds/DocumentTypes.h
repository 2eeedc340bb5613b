#pragma once

#include "foundation/uString.h"

namespace feeds
{
/// Cuts every "<!DOCTYPE" up to and including the next ">" out of the text,
/// pass after pass until none is left, since a cut can join the pieces of a
/// new one: each pass takes the first declaration from where the last cut
/// ended and swallows everything up to its ">". A declaration without a ">"
/// after it stays, and so does the rest of the text. An internal subset is
/// cut at its first ">", which leaves the rest of it in the text.
/// Linear in the length of the text, however deep the pieces nest.
void RemoveDocumentTypes(uString& text);
} // namespace feeds
