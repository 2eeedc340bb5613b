#include "common/UserPrompt.h"

#include "StringTable.h"

#include <initializer_list>
#include <string>
#include <wx/msgdlg.h>

namespace ui
{
namespace
{
class DialogPrompt : public CUserPrompt
{
public:
    int Show(wxWindow* parent, int, const uString& text, long style) override
    {
        wxMessageDialog dialog(parent, wxString::FromUTF8(text.c_str()), "Kestrova", style);
        // The buttons in the interface language, not in the toolkit's.
        auto tr = [](const char* label) { return wxString::FromUTF8(std::string(uTr(label))); };
        dialog.SetYesNoCancelLabels(tr("&Yes"), tr("&No"), tr("Cancel"));
        dialog.SetOKCancelLabels(tr("OK"), tr("Cancel"));
        switch (dialog.ShowModal())
        {
        case wxID_YES:
            return wxYES;
        case wxID_NO:
            return wxNO;
        case wxID_CANCEL:
            return wxCANCEL;
        default:
            return wxOK;
        }
    }
};

std::shared_ptr<CUserPrompt>& InstalledPrompt()
{
    static std::shared_ptr<CUserPrompt> prompt;
    return prompt;
}

std::shared_ptr<CUserPrompt> CurrentPrompt()
{
    std::shared_ptr<CUserPrompt> prompt = InstalledPrompt();
    if (!prompt)
        prompt = std::make_shared<DialogPrompt>();
    return prompt;
}
} // namespace

void CUserPrompt::Install(std::shared_ptr<CUserPrompt> prompt)
{
    InstalledPrompt() = std::move(prompt);
}

namespace
{
// The string's "%s" replaced in turn by the arguments; what an argument
// holds is never searched again.
uString FormatWith(int stringId, std::initializer_list<const uString*> arguments)
{
    std::string text(resources::FindString(stringId));
    std::size_t at = 0;
    for (const uString* argument : arguments)
    {
        at = text.find("%s", at);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, argument->c_str());
        at += static_cast<std::size_t>(argument->getLength());
    }
    return uString(text.c_str());
}
} // namespace

uString FormatString(int stringId, const uString& argument)
{
    return FormatWith(stringId, {&argument});
}

uString FormatString(int stringId, const uString& first, const uString& second)
{
    return FormatWith(stringId, {&first, &second});
}

int ShowPrompt(wxWindow* parent, int stringId, long style, const uString& argument)
{
    return CurrentPrompt()->Show(parent, stringId, FormatString(stringId, argument), style);
}

int ShowPrompt(wxWindow* parent, int stringId, long style, const uString& first, const uString& second)
{
    return CurrentPrompt()->Show(parent, stringId, FormatString(stringId, first, second), style);
}

int ShowPromptDetail(wxWindow* parent, int stringId, long style, const uString& detail)
{
    uString text = FormatString(stringId);
    if (!detail.isEmpty())
        text += uString("\n\n") + detail;
    return CurrentPrompt()->Show(parent, stringId, text, style);
}

int ShowText(wxWindow* parent, const uString& text, long style)
{
    return CurrentPrompt()->Show(parent, 0, text, style);
}
} // namespace ui
