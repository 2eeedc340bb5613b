#include "mainwindow/WindowTranslator.h"

#include "common/ColumnWidth.h"
#include "foundation/uTranslation.h"

#include <string>
#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/eventfilter.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/radiobox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/stockitem.h>
#include <wx/toolbar.h>
#include <wx/toplevel.h>

namespace ui
{
namespace
{
// The translation, or an empty text when there is none.
wxString Translated(const wxString& text)
{
    if (text.empty())
        return {};
    std::string original = text.utf8_string();
    std::string_view translated = uTr(original);
    if (translated == original)
        return {};
    return wxString::FromUTF8(translated.data(), translated.size());
}

void TranslateLabel(wxControl* control)
{
    wxString text = Translated(control->GetLabel());
    if (!text.empty())
        control->SetLabel(text);
}

// A stock button (OK, Cancel, Apply) shows the toolkit's own stock label,
// which GTK translates only in the C library's locale, and choosing the
// language leaves that alone. The toolkit's catalog has the text: it is set
// as a plain label, for which the id must not be a stock one for a moment.
void UseToolkitLabel(wxButton* button)
{
    const wxWindowID id = button->GetId();
    if (!wxIsStockID(id) || !wxIsStockLabel(id, button->GetLabel()))
        return;
    const wxString label = wxGetStockLabel(id);
    button->SetId(wxID_NONE);
    button->SetLabel(label);
    button->SetId(id);
}

void TranslateChildren(wxWindow* window)
{
    if (wxString tip = Translated(window->GetToolTipText()); !tip.empty())
        window->SetToolTip(tip);
    if (auto* button = wxDynamicCast(window, wxButton))
        UseToolkitLabel(button);
    if (wxDynamicCast(window, wxStaticText) || wxDynamicCast(window, wxButton) ||
        wxDynamicCast(window, wxCheckBox) || wxDynamicCast(window, wxRadioButton) ||
        wxDynamicCast(window, wxStaticBox))
    {
        TranslateLabel(static_cast<wxControl*>(window));
    }
    else if (auto* radioBox = wxDynamicCast(window, wxRadioBox))
    {
        TranslateLabel(radioBox);
        for (unsigned i = 0; i < radioBox->GetCount(); ++i)
        {
            if (wxString text = Translated(radioBox->GetString(i)); !text.empty())
                radioBox->SetString(i, text);
        }
    }
    else if (auto* bar = wxDynamicCast(window, wxToolBar))
    {
        for (int i = 0; i < static_cast<int>(bar->GetToolsCount()); ++i)
        {
            const wxToolBarToolBase* tool = bar->GetToolByPos(i);
            if (wxString tip = Translated(tool->GetShortHelp()); !tip.empty())
                bar->SetToolShortHelp(tool->GetId(), tip);
            // The long help is what the status bar shows while the pointer is on the tool.
            if (wxString help = Translated(tool->GetLongHelp()); !help.empty())
                bar->SetToolLongHelp(tool->GetId(), help);
        }
    }
    else if (auto* book = wxDynamicCast(window, wxBookCtrlBase))
    {
        for (size_t i = 0; i < book->GetPageCount(); ++i)
        {
            if (wxString text = Translated(book->GetPageText(i)); !text.empty())
                book->SetPageText(i, text);
        }
    }
    else if (auto* list = wxDynamicCast(window, wxListCtrl); list != nullptr && list->InReportView())
    {
        for (int i = 0; i < list->GetColumnCount(); ++i)
        {
            wxListItem column;
            column.SetMask(wxLIST_MASK_TEXT);
            if (!list->GetColumn(i, column))
                continue;
            if (wxString text = Translated(column.GetText()); !text.empty())
            {
                column.SetText(text);
                list->SetColumn(i, column);
                // A longer header than the column was made for stays whole.
                FitListColumn(*list, i);
            }
        }
    }
    for (wxWindow* child : window->GetChildren())
    {
        // Another top-level window is translated when it is shown itself.
        if (!child->IsTopLevel())
            TranslateChildren(child);
    }
}

// Sees every event before its handlers: the moment a dialog is initialised,
// or another top-level window first shown, is when its texts are translated.
class TranslatingFilter : public wxEventFilter
{
public:
    int FilterEvent(wxEvent& event) override
    {
        if (uGetCatalog() == nullptr)
            return Event_Skip;
        const wxEventType type = event.GetEventType();
        if (type == wxEVT_MENU_OPEN)
        {
            // Pop-up menus that windows build in code.
            if (wxMenu* menu = static_cast<wxMenuEvent&>(event).GetMenu())
                TranslateMenu(menu);
            return Event_Skip;
        }
        bool shown = type == wxEVT_SHOW && static_cast<wxShowEvent&>(event).IsShown();
        if (type != wxEVT_INIT_DIALOG && !shown)
            return Event_Skip;
        // Translating again finds nothing more to do: a translation is no
        // original text.
        if (auto* window = wxDynamicCast(event.GetEventObject(), wxTopLevelWindow))
            TranslateWindow(window);
        return Event_Skip;
    }
};
} // namespace

void TranslateWindow(wxWindow* window)
{
    if (window == nullptr)
        return;
    if (wxString title = Translated(window->GetLabel()); !title.empty() && window->IsTopLevel())
        window->SetLabel(title);
    TranslateChildren(window);
    // German texts are longer: a dialog grows to hold them. Other windows
    // keep their size: the main window's best size follows its feed titles,
    // and its size is the user's, stored from one start to the next.
    if (wxDynamicCast(window, wxDialog) != nullptr && window->GetSizer() != nullptr)
    {
        window->Layout();
        wxSize best = window->GetBestSize();
        wxSize size = window->GetSize();
        if (best.x > size.x || best.y > size.y)
            window->SetSize(std::max(best.x, size.x), std::max(best.y, size.y));
    }
}

void TranslateMenu(wxMenu* menu)
{
    for (wxMenuItem* item : menu->GetMenuItems())
    {
        if (item->IsSeparator())
            continue;
        // The keys after the tab stay as they are.
        wxString label = item->GetItemLabel();
        wxString keys = label.Find('\t') == wxNOT_FOUND ? wxString() : "\t" + label.AfterFirst('\t');
        if (wxString text = Translated(label.BeforeFirst('\t')); !text.empty())
            item->SetItemLabel(text + keys);
        if (item->IsSubMenu())
            TranslateMenu(item->GetSubMenu());
    }
}

void InstallWindowTranslator()
{
    static TranslatingFilter* filter = nullptr;
    if (filter != nullptr)
        return;
    filter = new TranslatingFilter;
    wxEvtHandler::AddFilter(filter);
}
} // namespace ui
