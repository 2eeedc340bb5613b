#pragma once

#include "FrameFixture.h"

namespace enginetest
{
// Any free ports, so that tests running side by side never meet on one.
inline void ListenOnFreePorts(CPreference& preference)
{
    CPreference::TorrentSection torrent = preference.GetTorrentSection();
    torrent.nListenPortNumber1 = 0;
    torrent.nListenPortNumber2 = 0;
    preference.SetTorrentSection(torrent);
}

// A frame that loads the BitTorrent engine plug-in.
inline CMainFrame::Options WithEngine()
{
    CMainFrame::Options options;
    options.loadTorrentEngine = true;
    return options;
}
} // namespace enginetest

// A frame that may load the BitTorrent engine, listening on free ports.
class EngineFrameFixture : public FrameFixture
{
protected:
    void SetUp() override { Configure(enginetest::ListenOnFreePorts); }
    static CMainFrame::Options WithEngine() { return enginetest::WithEngine(); }
};
