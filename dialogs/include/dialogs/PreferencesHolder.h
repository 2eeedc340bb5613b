#pragma once

#include "dialogs/PrefModels.h"

#include <functional>
#include <memory>

class CPropertyPageBase;
class CTorrentEngine;
class CTreePropSheet;
class PrefFrameDownload;
class PrefFrameGeneral;
class PrefFramePersonal;
class PrefFramePodcast;
class PrefFrameProxy;
class PrefFrameTorrent;
class wxWindow;

/// Runs the modal "Preferences" sheet once, inside its constructor: six
/// pages (Bittorrent only with an engine), opened at the start page. OK and
/// Apply have every page apply into copies of the sections; only when none
/// refuses are they stored (PrefModels.h's StoreAll), config.xml written and
/// settingsChanged called. Cancel stores nothing, except the password
/// manager's changes, which are made at once.
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
    void Refuse(CPropertyPageBase* page, const prefs::Refusal& refusal);

    CTorrentEngine* m_engine;
    std::function<void()> m_settingsChanged;
    CTreePropSheet* m_sheet = nullptr;
    PrefFrameGeneral* m_general = nullptr;
    PrefFrameProxy* m_proxy = nullptr;
    PrefFrameDownload* m_download = nullptr;
    PrefFramePodcast* m_podcast = nullptr;
    PrefFrameTorrent* m_torrent = nullptr;
    PrefFramePersonal* m_personal = nullptr;
    int m_result = 0;
};
