// The frame's commands that belong to no one pane: the editing commands
// routed to the browser pane or the search bar, printing, the help pages,
// the bars, moving the focus between the panes, and compacting a list.
#include "CommandIds.h"
#include "common/Clipboard.h"
#include "downloads/DownloadManager.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/MainToolBar.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/XStatusBar.h"

#include <wx/textentry.h>
#include <wx/webview.h>

#ifndef KESTROVA_CENTRAL_URL
#define KESTROVA_CENTRAL_URL ""
#endif

using namespace subscription;

namespace
{
// The product's home page; the build sets it, and there is none by default.
constexpr const char* kCentralUrl = KESTROVA_CENTRAL_URL;

// A text field with the focus that neither the search bar nor the browser
// frame answers for (the tree's label editor, a dialog's edit): the keys
// that reach the Edit menu's commands still act on it.
wxTextEntry* OtherFocusedTextEntry()
{
    return dynamic_cast<wxTextEntry*>(wxWindow::FindFocus());
}

bool IsInside(const wxWindow* window, const wxWindow* ancestor)
{
    for (const wxWindow* step = window; step != nullptr; step = step->GetParent())
    {
        if (step == ancestor)
            return true;
    }
    return false;
}
} // namespace

// ---- editing: the search bar or else the browser pane

bool CMainFrame::IsFocusInBrowserFrame() const
{
    return m_browserFrame != nullptr && IsInside(wxWindow::FindFocus(), m_browserFrame);
}

bool CMainFrame::IsFocusInSearchBar() const
{
    return m_searchToolBar != nullptr && m_searchToolBar->HasFocus();
}

bool CMainFrame::CanEditCut() const
{
    // The browser frame answers for its own focus only: it takes any combo
    // box for its address box.
    if (m_searchToolBar != nullptr && m_searchToolBar->CanCut())
        return true;
    if (IsFocusInBrowserFrame())
        return m_browserFrame->CanCut();
    wxTextEntry* other = IsFocusInSearchBar() ? nullptr : OtherFocusedTextEntry();
    return other != nullptr && other->CanCut();
}

bool CMainFrame::CanEditCopy() const
{
    if (m_searchToolBar != nullptr && m_searchToolBar->CanCopy())
        return true;
    if (IsFocusInBrowserFrame())
        return m_browserFrame->CanCopy();
    wxTextEntry* other = IsFocusInSearchBar() ? nullptr : OtherFocusedTextEntry();
    return other != nullptr && other->CanCopy();
}

bool CMainFrame::CanEditPaste() const
{
    if (!IsClipboardTextAvailable())
        return false;
    if (m_searchToolBar != nullptr && m_searchToolBar->CanPaste())
        return true;
    if (IsFocusInBrowserFrame())
        return m_browserFrame->CanPaste();
    wxTextEntry* other = IsFocusInSearchBar() ? nullptr : OtherFocusedTextEntry();
    return other != nullptr && other->CanPaste();
}

bool CMainFrame::IsFocusInPage() const
{
    return IsFocusInBrowserFrame() && m_browserFrame->GetFocusTarget() == 1;
}

bool CMainFrame::MayEditInBrowserFrame(bool (CWebBrowserFrame::*can)() const) const
{
    // The page: the engine does what it can of the command.
    return IsFocusInPage() || (IsFocusInBrowserFrame() && (m_browserFrame->*can)());
}

// The focused control only: cutting in both would leave only the second cut on the clipboard.
void CMainFrame::OnEditCut()
{
    if (MayEditInBrowserFrame(&CWebBrowserFrame::CanCut))
        m_browserFrame->Cut();
    else if (m_searchToolBar != nullptr && m_searchToolBar->CanCut())
        m_searchToolBar->Cut();
    else if (wxTextEntry* other =
                 IsFocusInSearchBar() || IsFocusInBrowserFrame() ? nullptr : OtherFocusedTextEntry())
        other->Cut();
}

void CMainFrame::OnEditCopy()
{
    if (MayEditInBrowserFrame(&CWebBrowserFrame::CanCopy))
        m_browserFrame->Copy();
    else if (m_searchToolBar != nullptr && m_searchToolBar->CanCopy())
        m_searchToolBar->Copy();
    else if (wxTextEntry* other =
                 IsFocusInSearchBar() || IsFocusInBrowserFrame() ? nullptr : OtherFocusedTextEntry())
        other->Copy();
}

void CMainFrame::OnEditPaste()
{
    if (MayEditInBrowserFrame(&CWebBrowserFrame::CanPaste))
        m_browserFrame->Paste();
    else if (m_searchToolBar != nullptr && m_searchToolBar->HasFocus())
        m_searchToolBar->Paste();
    else if (wxTextEntry* other = IsFocusInBrowserFrame() ? nullptr : OtherFocusedTextEntry())
        other->Paste();
}

// ---- printing and the help pages

void CMainFrame::OnFilePrint()
{
    if (m_browser != nullptr)
        m_browser->Print();
}

void CMainFrame::OnHelpFaq()
{
    if (m_browserFrame == nullptr)
        return;
    uString page("file://");
    page += m_preference->GetProgramDir();
    page += "/documents/faq.html";
    m_browserFrame->Navigate(page);
}

bool CMainFrame::HasCentralPage() const
{
    return kCentralUrl[0] != '\0';
}

void CMainFrame::OnBrowseCentral()
{
    if (m_browserFrame != nullptr && HasCentralPage())
        m_browserFrame->Navigate(uString(kCentralUrl));
}

// ---- bars

void CMainFrame::OnViewBrowserBar()
{
    if (m_browserFrame != nullptr)
        m_browserFrame->ToggleBars();
}

void CMainFrame::OnViewToolbar()
{
    // Both tool bars share the top row: they come and go together.
    bool show = m_mainToolBar != nullptr && !m_mainToolBar->IsShown();
    if (m_mainToolBar != nullptr)
        m_mainToolBar->Show(show);
    if (m_searchToolBar != nullptr)
        m_searchToolBar->Show(show);
    LayoutPanes();
}

void CMainFrame::OnViewStatusBar()
{
    if (m_statusBar == nullptr)
        return;
    m_statusBar->Show(!m_statusBar->IsShown());
    SendSizeEvent();
}

bool CMainFrame::GetCommandCheck(int command, bool& checked) const
{
    switch (command)
    {
    case resources::cmd::kViewToolbar:
        checked = m_mainToolBar != nullptr && m_mainToolBar->IsShown();
        return true;
    case resources::cmd::kViewStatusBar:
        checked = m_statusBar != nullptr && m_statusBar->IsShown();
        return true;
    case resources::cmd::kBrowserBar:
        checked = m_browserFrame != nullptr && m_browserFrame->AreBarsShown();
        return true;
    default:
        return false;
    }
}

// ---- the focus between the panes

void CMainFrame::OnFocusTree()
{
    if (m_treeView != nullptr)
        m_treeView->SetFocus();
}

void CMainFrame::OnFocusList()
{
    if (m_itemListView != nullptr)
        m_itemListView->SetFocus();
}

void CMainFrame::OnFocusAddress()
{
    if (m_browserFrame == nullptr)
        return;
    Raise();
    m_browserFrame->FocusAddress();
}

void CMainFrame::OnFocusBrowser()
{
    if (m_browserFrame != nullptr)
        m_browserFrame->FocusBrowser(/*raiseFrame=*/true);
}

int CMainFrame::FocusedPane() const
{
    wxWindow* focus = wxWindow::FindFocus();
    if (m_treeView != nullptr && IsInside(focus, m_treeView))
        return kPaneTree;
    if (m_itemListView != nullptr && IsInside(focus, m_itemListView))
        return kPaneList;
    if (m_browserFrame != nullptr && IsInside(focus, m_browserFrame))
        return kPaneBrowser;
    return kPaneNone;
}

void CMainFrame::OnNextPane()
{
    switch (FocusedPane())
    {
    case kPaneTree:
        OnFocusList();
        break;
    case kPaneList:
        OnFocusBrowser();
        break;
    case kPaneBrowser:
        OnFocusTree();
        break;
    default:
        break;
    }
}

void CMainFrame::OnPreviousPane()
{
    switch (FocusedPane())
    {
    case kPaneTree:
        OnFocusBrowser();
        break;
    case kPaneList:
        OnFocusTree();
        break;
    case kPaneBrowser:
        OnFocusList();
        break;
    default:
        break;
    }
}

// ---- lists

long CMainFrame::OnCompactList(const CFrameMessage& message)
{
    if (message.lParam == 0 || m_treeView == nullptr)
        return 0;
    const CNamedValue* record = m_treeView->GetRecord(ParamToItem(message.lParam));
    if (record == nullptr || record->value != kList)
        return 0;
    CompactFeedDatabase(record->text.isEmpty() ? uString(CConnectionString::kDefaultDatabase) : record->text,
                        m_downloadManager.get());
    return 0;
}
