#pragma once

#include "foundation/uString.h"

/// True when the clipboard holds text. UI thread only, as the three below.
bool IsClipboardTextAvailable();

/// The clipboard's text; empty when there is none or the clipboard cannot be
/// opened.
uString GetClipboardText();

/// Puts the text on the clipboard; false when the clipboard cannot be opened.
bool SetClipboardText(const uString& text);
