#include "dialogs/PreferencesHolder.h"

#include "dialogs/PrefPages.h"
#include "dialogs/TreePropSheet.h"
#include "common/ResourceImages.h"
#include "common/UserPrompt.h"

namespace
{
constexpr int kTreeImagesBitmap = 202;

// Bitmap 202: two 16-pixel images on a teal mask colour.
std::vector<wxBitmap> TreeImages()
{
    wxBitmap strip = ui::LoadResourceBitmap(kTreeImagesBitmap);
    std::vector<wxBitmap> images;
    if (!strip.IsOk() || strip.GetWidth() < 32)
        return images;
    for (int i = 0; i < 2; ++i)
    {
        wxBitmap image = strip.GetSubBitmap(wxRect(i * 16, 0, 16, 16));
        image.SetMask(new wxMask(image, wxColour(0, 128, 128)));
        images.push_back(image);
    }
    return images;
}
} // namespace

CPreferencesHolder::CPreferencesHolder(wxWindow* parent, CTorrentEngine* engine, int startPage,
                                       std::function<void()> settingsChanged)
    : m_engine(engine), m_settingsChanged(std::move(settingsChanged))
{
    CPreference& preference = *CPreference::GetInstance();
    m_shown = prefs::ShowAll(preference);
    m_sheet = new CTreePropSheet("Preferences", parent, prefs::StartPage(startPage, engine != nullptr));

    m_general = new CPrefGeneralPage(m_sheet, m_shown.general);
    m_download = new CPrefDownloadPage(m_sheet, m_shown.download);
    m_proxy = new CPrefProxyPage(m_sheet, m_shown.proxy);
    m_podcast = new CPrefPodcastPage(m_sheet, m_shown.podcast);
    if (engine != nullptr)
        m_torrent = new CPrefTorrentPage(m_sheet, m_shown.torrent);
    m_personal = new CPrefPersonalPage(m_sheet, m_shown.personal, preference.GetAuthList());
    for (CPropertyPageBase* page : std::initializer_list<CPropertyPageBase*>{
             m_general, m_download, m_proxy, m_podcast, m_torrent, m_personal})
    {
        if (page != nullptr)
            m_sheet->AddPage(page);
    }
    m_sheet->SetTreeMode(true, true, true);
    m_sheet->SetDefaultTreeImages(TreeImages());
    m_sheet->SetApplyHandler([this] { return Apply(); });
    m_result = m_sheet->ShowModal();
}

CPreferencesHolder::~CPreferencesHolder()
{
    // The pages are the sheet's children and go with it.
    if (m_sheet != nullptr)
        m_sheet->Destroy();
}

bool CPreferencesHolder::Apply()
{
    prefs::SheetForms edited;
    edited.general = m_general->Read();
    edited.download = m_download->Read();
    edited.proxy = m_proxy->Read();
    edited.podcast = m_podcast->Read();
    edited.torrent = m_torrent != nullptr ? m_torrent->Read() : m_shown.torrent;
    edited.personal = m_personal->Read();

    prefs::ApplyHooks hooks;
    hooks.message = [this](const uString& text) { ui::ShowText(m_sheet, text, wxOK | wxICON_WARNING); };
    hooks.settingsChanged = m_settingsChanged;
    int failedPage = -1;
    uString error;
    if (!prefs::ApplyAll(*CPreference::GetInstance(), m_engine, m_shown, edited, hooks, failedPage, error))
    {
        // The page with the refused value comes forward, then the reason.
        int page = failedPage;
        if (m_engine == nullptr && failedPage > prefs::kTorrentPage)
            page = prefs::PersonalPageIndex(false);
        m_sheet->SetActivePage(page);
        ui::ShowText(m_sheet, error, wxOK | wxICON_WARNING);
        return false;
    }
    // A later Apply compares with what is stored now.
    m_shown = edited;
    m_shown.podcast.folder = CPreference::GetInstance()->GetPodcastSection().strPodcastDirectory;
    return true;
}
