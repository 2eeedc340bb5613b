#include "dialogs/PreferencesHolder.h"

#include "PrefPageHelpers.h"
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
    const prefs::SheetForms shown = prefs::ShowAll(preference);
    m_sheet = new CTreePropSheet("Preferences", parent, prefs::StartPage(startPage, engine != nullptr));

    m_general = new PrefFrameGeneral(m_sheet, shown.general);
    m_download = new PrefFrameDownload(m_sheet, shown.download);
    m_proxy = new PrefFrameProxy(m_sheet, shown.proxy);
    m_podcast = new PrefFramePodcast(m_sheet, shown.podcast);
    if (engine != nullptr)
        m_torrent = new PrefFrameTorrent(m_sheet, shown.torrent);
    m_personal = new PrefFramePersonal(m_sheet, shown.personal, preference.GetAuthList());
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
    CPreference& preference = *CPreference::GetInstance();
    // Every page applies into copies first: a refused value stores nothing.
    prefs::SheetSections sections = prefs::StoredSections(preference);
    prefs::Refusal refusal;
    CPropertyPageBase* refused = nullptr;
    if (!m_general->Apply(sections.general, refusal))
        refused = m_general;
    else if (!m_download->Apply(sections.download, refusal))
        refused = m_download;
    else if (!m_proxy->Apply(sections.proxy, refusal))
        refused = m_proxy;
    else if (m_torrent != nullptr && !m_torrent->Apply(sections.torrent, refusal))
        refused = m_torrent;
    if (refused != nullptr)
    {
        Refuse(refused, refusal);
        return false;
    }
    m_podcast->Apply(sections.podcast);
    m_personal->Apply(sections.personal);

    prefs::ApplyHooks hooks;
    hooks.message = [this](int stringId, const uString& argument)
    { ui::ShowPrompt(m_sheet, stringId, wxOK | wxICON_WARNING, argument); };
    hooks.settingsChanged = m_settingsChanged;
    prefs::StoreAll(preference, m_engine, sections, hooks);

    // A later Apply compares with what is stored now.
    m_general->Committed();
    m_download->Committed();
    m_proxy->Committed();
    m_podcast->Committed(preference.GetPodcastSection());
    if (m_torrent != nullptr)
        m_torrent->Committed();
    m_personal->Committed();
    return true;
}

void CPreferencesHolder::Refuse(CPropertyPageBase* page, const prefs::Refusal& refusal)
{
    // The page with the refused value comes forward, then the reason.
    for (int index = 0; index < m_sheet->GetPageCount(); ++index)
    {
        if (m_sheet->GetPage(index) == page)
            m_sheet->SetActivePage(index);
    }
    prefpage::ShowRefusal(page, refusal);
}
