#include "dialogs/FeedBrowserDlg.h"

#include "CommandIds.h"
#include "common/FetchProgress.h"
#include "common/Messages.h"
#include "common/ResourceImages.h"
#include "common/UserPrompt.h"
#include "feeds/Preference.h"
#include "feeds/WebFetch.h"
#include "foundation/uFile.h"

#include <wx/button.h>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

namespace
{
constexpr int kCaptionString = 3000;
constexpr int kDownloadFailed = 3004;
constexpr int kImageSize = 16;
constexpr int kImageCount = 20;
constexpr int kDirectoryImage = 16;
constexpr int kFolderImage = 3;
constexpr int kFolderOpenImage = 4;
constexpr int kFeedImage = 7;

class DirectoryItem : public wxTreeItemData
{
public:
    DirectoryItem(std::uint16_t kind, const uString& url) : kind(kind), url(url) {}
    std::uint16_t kind;
    uString url;
};

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}

uString FromWx(const wxString& text)
{
    return uString(text.utf8_str().data());
}

// Downloads the address into the cache file, behind a progress dialog that
// can cancel it. A cancelled download leaves no cache file behind.
ui::FetchEnd Download(wxWindow* parent, const uString& url, const uString& cacheFile)
{
    uFile file(cacheFile.c_str());
    file.remove();
    ui::FetchEnd end =
        ui::RunFetch(parent, ui::FormatString(kCaptionString), url,
                     [&](const std::atomic<bool>& abort)
                     {
                         return FetchUrlToFile(url, file, CFeedBrowserDlg::kDownloadTimeoutSeconds, nullptr,
                                               /*login=*/true, /*prompt=*/true, nullptr, &abort);
                     });
    if (end == ui::FetchEnd::kCancelled)
        file.remove();
    return end;
}
} // namespace

CFeedBrowserDlg::CFeedBrowserDlg(wxWindow* parent, Sender sender)
    : CFeedBrowserDlg(
          parent, std::move(sender),
          uFile(CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str(), "directory.xml")
              .getPath(),
          CPreference::GetInstance()->GetCacheDir().getPath())
{
}

CFeedBrowserDlg::CFeedBrowserDlg(wxWindow* parent, Sender sender, const uString& directoryFile,
                                 const uString& cacheFolder)
    : ui::CDialog(parent, wxID_ANY, ToWx(ui::FormatString(kCaptionString)),
                  wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_sender(std::move(sender)), m_directoryFile(directoryFile), m_cacheFolder(cacheFolder)
{
    Build();
    if (uFile(m_directoryFile.c_str()).exists())
        ReadDirectoryFile();
    UpdateButtons();
}

CFeedBrowserDlg::~CFeedBrowserDlg()
{
    // The items (and their records, which wx deletes) go before the images.
    if (m_tree != nullptr)
        m_tree->DeleteAllItems();
}

void CFeedBrowserDlg::Build()
{
    m_images = std::make_unique<wxImageList>(kImageSize, kImageSize, true, kImageCount);
    wxBitmap strip = ui::LoadResourceBitmap(resources::id::kTreeImages);
    for (int i = 0; strip.IsOk() && i < kImageCount && (i + 1) * kImageSize <= strip.GetWidth(); ++i)
        m_images->Add(strip.GetSubBitmap(wxRect(i * kImageSize, 0, kImageSize, kImageSize)));

    m_urlEdit = new wxTextCtrl(this, kUrlEdit, wxString(), wxDefaultPosition, wxSize(360, -1));
    m_tree = new wxTreeCtrl(this, kTree, wxDefaultPosition, wxSize(520, 380),
                            wxTR_DEFAULT_STYLE | wxTR_HIDE_ROOT | wxTR_SINGLE);
    m_tree->SetImageList(m_images.get());
    m_tree->AddRoot(wxString());
    m_refreshButton = new wxButton(this, kRefreshButton, "Refresh");
    m_subscribeButton = new wxButton(this, kSubscribeButton, "Subscribe");

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(new wxStaticText(this, wxID_ANY, "Directory URL:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    top->Add(m_urlEdit, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    top->Add(new wxButton(this, kAddButton, "Add"), 0);
    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    bottom->Add(m_refreshButton, 0, wxRIGHT, 8);
    bottom->Add(m_subscribeButton, 0);
    bottom->AddStretchSpacer();
    bottom->Add(new wxButton(this, wxID_OK, "Close"), 0);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(top, 0, wxEXPAND | wxALL, 12);
    outer->Add(m_tree, 1, wxEXPAND | wxLEFT | wxRIGHT, 12);
    outer->Add(bottom, 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(outer);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &CFeedBrowserDlg::OnAdd, this, kAddButton);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnRefresh(); }, kRefreshButton);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnSubscribe(); }, kSubscribeButton);
    Bind(wxEVT_BUTTON, &CFeedBrowserDlg::OnCloseButton, this, wxID_OK);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { OnRefresh(); }, kRefreshNow);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { OnSubscribe(); }, kSubscribeNow);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { OnViewSource(); }, kViewSource);
    m_tree->Bind(wxEVT_TREE_SEL_CHANGED, &CFeedBrowserDlg::OnSelChanged, this);
    m_tree->Bind(wxEVT_TREE_ITEM_ACTIVATED, &CFeedBrowserDlg::OnActivated, this);
    m_tree->Bind(wxEVT_TREE_ITEM_EXPANDING, &CFeedBrowserDlg::OnExpanding, this);
    m_tree->Bind(wxEVT_TREE_KEY_DOWN, &CFeedBrowserDlg::OnKeyDown, this);
    m_tree->Bind(wxEVT_RIGHT_DOWN, &CFeedBrowserDlg::OnRightDown, this);
    // Only Close keeps the directories: Esc and the close box leave the file alone.
    Bind(wxEVT_CHAR_HOOK,
         [this](wxKeyEvent& event)
         {
             if (event.GetKeyCode() == WXK_ESCAPE)
                 EndModal(wxID_CANCEL);
             else
                 event.Skip();
         });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });
}

bool CFeedBrowserDlg::GetItemRecord(const wxTreeItemId& item, std::uint16_t& kind, uString& url) const
{
    if (!item.IsOk())
        return false;
    auto* record = dynamic_cast<DirectoryItem*>(m_tree->GetItemData(item));
    if (record == nullptr)
        return false;
    kind = record->kind;
    url = record->url;
    return true;
}

void CFeedBrowserDlg::ReadDirectoryFile()
{
    std::vector<feeddirectory::Entry> entries;
    if (!feeddirectory::ReadFile(m_directoryFile.c_str(), entries))
    {
        ui::ShowPrompt(this, feeddirectory::kFileUnreadable, wxOK | wxICON_WARNING);
        return;
    }
    for (const feeddirectory::Entry& entry : entries)
    {
        wxTreeItemId item = AppendDirectory(entry.name, entry.url);
        if (entry.expanded && LoadDirectory(item, entry.url))
            m_tree->Expand(item);
        else if (!entry.expanded)
            m_tree->AppendItem(item, wxString()); // the placeholder: contents come on expanding
    }
}

void CFeedBrowserDlg::WriteDirectoryFile()
{
    std::vector<feeddirectory::Entry> entries;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = m_tree->GetFirstChild(m_tree->GetRootItem(), cookie); item.IsOk();
         item = m_tree->GetNextChild(m_tree->GetRootItem(), cookie))
    {
        std::uint16_t kind = 0;
        uString url;
        if (GetItemRecord(item, kind, url) && kind == kDirectory)
            entries.push_back({FromWx(m_tree->GetItemText(item)), url, m_tree->IsExpanded(item)});
    }
    feeddirectory::WriteFile(m_directoryFile.c_str(), entries);
}

wxTreeItemId CFeedBrowserDlg::AppendDirectory(const uString& label, const uString& url)
{
    return m_tree->AppendItem(m_tree->GetRootItem(), ToWx(label), kDirectoryImage, kDirectoryImage,
                              new DirectoryItem(kDirectory, url));
}

bool CFeedBrowserDlg::LoadDirectory(const wxTreeItemId& item, const uString& url)
{
    if (url.isEmpty())
        return false;
    uFile(m_cacheFolder.c_str()).ensureDirectory();
    uString cache = feeddirectory::CachePath(m_cacheFolder, url);
    if (!feeddirectory::IsFresh(cache.c_str(), std::time(nullptr)) &&
        Download(this, url, cache) != ui::FetchEnd::kDone)
        return false;
    feeddirectory::Listing listing = feeddirectory::ReadListing(cache.c_str());
    if (listing.error != 0)
    {
        ui::ShowPrompt(this, listing.error, wxOK | wxICON_WARNING, url);
        return false;
    }
    if (!listing.caption.isEmpty())
        SetTitle(ToWx(listing.caption));
    AddNodes(item, listing.nodes);
    return true;
}

void CFeedBrowserDlg::AddNodes(const wxTreeItemId& parent, const std::vector<feeddirectory::Node>& nodes)
{
    for (const feeddirectory::Node& node : nodes)
    {
        bool feed = !node.url.isEmpty();
        wxTreeItemId item = m_tree->AppendItem(parent, ToWx(node.label), feed ? kFeedImage : kFolderImage,
                                               feed ? kFeedImage : kFolderOpenImage,
                                               new DirectoryItem(feed ? kFeed : kFolder, node.url));
        AddNodes(item, node.children);
        // A folder opens once it has its children.
        if (!feed && !node.children.empty())
            m_tree->Expand(item);
    }
}

void CFeedBrowserDlg::DeleteChildren(const wxTreeItemId& item)
{
    m_tree->DeleteChildren(item);
}

void CFeedBrowserDlg::OnAdd(wxCommandEvent&)
{
    uString url = FromWx(m_urlEdit->GetValue());
    url.trim();
    if (url.isEmpty())
        return;
    uFile(m_cacheFolder.c_str()).ensureDirectory();
    uString cache = feeddirectory::CachePath(m_cacheFolder, url);
    ui::FetchEnd end = Download(this, url, cache);
    if (end == ui::FetchEnd::kCancelled)
        return;
    if (end == ui::FetchEnd::kFailed)
    {
        ui::ShowPrompt(this, kDownloadFailed, wxOK | wxICON_WARNING, url);
        return;
    }
    feeddirectory::Listing listing = feeddirectory::ReadListing(cache.c_str());
    if (listing.error != 0)
    {
        uFile(cache.c_str()).remove();
        ui::ShowPrompt(this, listing.error, wxOK | wxICON_WARNING, url);
        return;
    }
    if (listing.firstTitle.isEmpty())
        return;
    wxTreeItemId item = AppendDirectory(listing.firstTitle, url);
    if (!LoadDirectory(item, url))
        return;
    m_tree->Expand(item);
    wxTreeItemIdValue cookie;
    wxTreeItemId first = m_tree->GetFirstChild(item, cookie);
    if (first.IsOk())
        m_tree->ScrollTo(first);
}

void CFeedBrowserDlg::OnRefresh()
{
    m_current = m_tree->GetSelection();
    std::uint16_t kind = 0;
    uString url;
    if (!GetItemRecord(m_current, kind, url) || kind != kDirectory)
        return;
    DeleteChildren(m_current);
    if (!LoadDirectory(m_current, url))
        return;
    m_tree->Expand(m_current);
    wxTreeItemIdValue cookie;
    wxTreeItemId first = m_tree->GetFirstChild(m_current, cookie);
    if (first.IsOk())
        m_tree->ScrollTo(first);
}

void CFeedBrowserDlg::OnSubscribe()
{
    std::uint16_t kind = 0;
    uString url;
    if (GetItemRecord(m_current, kind, url) && kind == kFeed && m_sender)
        m_sender(WM_APP_SUBSCRIBEURL, url);
}

void CFeedBrowserDlg::OnViewSource()
{
    std::uint16_t kind = 0;
    uString url;
    if (GetItemRecord(m_current, kind, url) && !url.isEmpty() && m_sender)
        m_sender(WM_APP_VIEWSOURCE, url);
}

void CFeedBrowserDlg::OnCloseButton(wxCommandEvent&)
{
    WriteDirectoryFile();
    EndModal(wxID_OK);
}

void CFeedBrowserDlg::OnSelChanged(wxTreeEvent& event)
{
    m_current = event.GetItem();
    UpdateButtons();
    UpdateCaption();
}

void CFeedBrowserDlg::OnActivated(wxTreeEvent& event)
{
    m_current = event.GetItem();
    OnSubscribe();
    UpdateCaption();
}

void CFeedBrowserDlg::OnExpanding(wxTreeEvent& event)
{
    wxTreeItemId item = event.GetItem();
    std::uint16_t kind = 0;
    uString url;
    if (!GetItemRecord(item, kind, url) || kind != kDirectory)
        return;
    wxTreeItemIdValue cookie;
    wxTreeItemId first = m_tree->GetFirstChild(item, cookie);
    if (first.IsOk())
    {
        std::uint16_t firstKind = 0;
        uString firstUrl;
        if (GetItemRecord(first, firstKind, firstUrl))
            return; // loaded already
        m_tree->Delete(first);
    }
    LoadDirectory(item, url);
}

void CFeedBrowserDlg::OnKeyDown(wxTreeEvent& event)
{
    int key = event.GetKeyCode();
    if (key == WXK_BACK || key == WXK_DELETE || key == WXK_NUMPAD_DECIMAL)
    {
        wxTreeItemId selected = m_tree->GetSelection();
        std::uint16_t kind = 0;
        uString url;
        if (GetItemRecord(selected, kind, url) && kind == kDirectory)
            m_tree->Delete(selected);
        m_current = wxTreeItemId();
        UpdateButtons();
    }
    event.Skip();
}

void CFeedBrowserDlg::OnRightDown(wxMouseEvent& event)
{
    // A click on empty space concerns no item: the caption loses its directory.
    m_tree->SetFocus();
    int flags = 0;
    wxTreeItemId hit = m_tree->HitTest(event.GetPosition(), flags);
    m_current = hit;
    if (hit.IsOk())
        m_tree->SelectItem(hit);
    UpdateCaption();
    std::uint16_t kind = 0;
    uString url;
    if (!GetItemRecord(hit, kind, url) || kind == kFolder)
        return;
    wxMenu menu;
    if (kind == kDirectory)
        menu.Append(kRefreshNow, "Refresh Now");
    else
        menu.Append(kSubscribeNow, "Subscribe Now");
    menu.Append(kViewSource, "View Source");
    PopupMenu(&menu, ScreenToClient(m_tree->ClientToScreen(event.GetPosition())));
}

void CFeedBrowserDlg::UpdateButtons()
{
    std::uint16_t kind = 0xFFFF;
    uString url;
    GetItemRecord(m_current, kind, url);
    m_subscribeButton->Enable(kind == kFeed);
    m_refreshButton->Enable(kind == kDirectory);
}

void CFeedBrowserDlg::UpdateCaption()
{
    wxString caption = ToWx(ui::FormatString(kCaptionString));
    wxTreeItemId top = m_current;
    while (top.IsOk() && m_tree->GetItemParent(top).IsOk() &&
           m_tree->GetItemParent(top) != m_tree->GetRootItem())
        top = m_tree->GetItemParent(top);
    std::uint16_t kind = 0;
    uString url;
    if (GetItemRecord(top, kind, url) && kind == kDirectory)
        caption += " : " + m_tree->GetItemText(top);
    SetTitle(caption);
}
