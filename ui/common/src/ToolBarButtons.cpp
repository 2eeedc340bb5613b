#include "common/ToolBarButtons.h"

#include "StringTable.h"
#include "ToolBars.h"
#include "common/MenuBuilder.h"
#include "foundation/uTranslation.h"

#include <wx/artprov.h>
#include <wx/toolbar.h>

namespace ui
{
namespace
{
constexpr int kImageSize = 16;

wxString FromUtf8(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

wxString Tip(const resources::ToolButton& button)
{
    return FromUtf8(uTr(button.tip));
}

wxString Prompt(const resources::ToolButton& button)
{
    return FromUtf8(resources::CommandPrompt(button.command));
}
} // namespace

void AddToolButtons(wxToolBar& bar, int toolBarId)
{
    for (const resources::ToolButton& button : resources::FindToolBar(toolBarId))
    {
        if (button.command == 0)
        {
            bar.AddSeparator();
            continue;
        }
        wxBitmapBundle image = wxArtProvider::GetBitmapBundle(FromUtf8(button.art), wxART_TOOLBAR,
                                                              wxSize(kImageSize, kImageSize));
        bar.AddTool(MenuCommandId(button.command), Tip(button), image, wxBitmapBundle(), wxITEM_NORMAL,
                    Tip(button), Prompt(button));
    }
}

void ReadToolTexts(wxToolBar& bar, int toolBarId)
{
    for (const resources::ToolButton& button : resources::FindToolBar(toolBarId))
    {
        const int id = MenuCommandId(button.command);
        if (button.command == 0 || bar.FindById(id) == nullptr)
            continue;
        bar.SetToolShortHelp(id, Tip(button));
        bar.SetToolLongHelp(id, Prompt(button));
    }
}
} // namespace ui
