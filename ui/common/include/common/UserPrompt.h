#pragma once

#include "foundation/uString.h"

#include <memory>

class wxWindow;

namespace ui
{
/// The message boxes and questions the window code shows, with their texts
/// from the string table. Tests install a scripted one; the program uses the
/// default, a modal wx message dialog.
class CUserPrompt
{
public:
    virtual ~CUserPrompt() = default;

    /// Shows the text (string stringId, already formatted) with the wx style
    /// flags (wxOK, wxYES_NO, wxOK | wxCANCEL, wxICON_...); returns wxOK,
    /// wxCANCEL, wxYES or wxNO.
    virtual int Show(wxWindow* parent, int stringId, const uString& text, long style) = 0;

    /// Replaces the prompt in use; null restores the default. UI thread only.
    static void Install(std::shared_ptr<CUserPrompt> prompt);
};

/// The text of string stringId with its "%s" replaced by the argument (the
/// argument is never read as a format).
uString FormatString(int stringId, const uString& argument = uString());

/// The text of string stringId with its two "%s" replaced by the arguments
/// in turn (neither is read as a format).
uString FormatString(int stringId, const uString& first, const uString& second);

/// Shows string stringId (its "%s" replaced by the argument) through the
/// installed prompt; returns its answer.
int ShowPrompt(wxWindow* parent, int stringId, long style, const uString& argument = uString());

/// The same for a string with two "%s".
int ShowPrompt(wxWindow* parent, int stringId, long style, const uString& first, const uString& second);

/// Shows string stringId followed, after a blank line, by a detail that says
/// more (why a file was refused); the prompt sees stringId.
int ShowPromptDetail(wxWindow* parent, int stringId, long style, const uString& detail);

/// Shows a text that does not come from the string table (a feed store's
/// error text); stringId 0 reaches the prompt.
int ShowText(wxWindow* parent, const uString& text, long style);
} // namespace ui
