#pragma once

#include "FrameFixture.h"

// A frame that may load the BitTorrent engine, listening on free ports so
// that tests running side by side never meet on one.
class EngineFrameFixture : public FrameFixture
{
protected:
    void SetUp() override
    {
        Configure(
            [](CPreference& preference)
            {
                CPreference::TorrentSection torrent = preference.GetTorrentSection();
                torrent.nListenPortNumber1 = 0; // any free port
                torrent.nListenPortNumber2 = 0;
                preference.SetTorrentSection(torrent);
            });
    }
    CMainFrame::Options WithEngine()
    {
        CMainFrame::Options options = NoEngine();
        options.loadTorrentEngine = true;
        return options;
    }
};
