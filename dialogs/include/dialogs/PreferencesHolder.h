#pragma once

#include "dialogs/PrefModels.h"

#include <functional>
#include <memory>

class CPrefDownloadPage;
class CPrefGeneralPage;
class CPrefPersonalPage;
class CPrefPodcastPage;
class CPrefProxyPage;
class CPrefTorrentPage;
class CTorrentEngine;
class CTreePropSheet;
class wxWindow;

/// Runs the modal "Preferences" sheet once, inside its constructor: six
/// pages (Bittorrent only with an engine), opened at the start page. OK and
/// Apply store the changed settings (PrefModels.h's ApplyAll), write
/// config.xml and then call settingsChanged; Cancel stores nothing, except
/// the password manager's changes, which are made at once.
class CPreferencesHolder
{
public:
    CPreferencesHolder(wxWindow* parent, CTorrentEngine* engine, int startPage,
                       std::function<void()> settingsChanged);
    virtual ~CPreferencesHolder();

    /// What the sheet's ShowModal returned.
    int GetResult() const { return m_result; }

private:
    bool Apply();

    CTorrentEngine* m_engine;
    std::function<void()> m_settingsChanged;
    CTreePropSheet* m_sheet = nullptr;
    CPrefGeneralPage* m_general = nullptr;
    CPrefProxyPage* m_proxy = nullptr;
    CPrefDownloadPage* m_download = nullptr;
    CPrefPodcastPage* m_podcast = nullptr;
    CPrefTorrentPage* m_torrent = nullptr;
    CPrefPersonalPage* m_personal = nullptr;
    prefs::SheetForms m_shown;
    int m_result = 0;
};
