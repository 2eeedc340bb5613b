#pragma once

#include "GuiTestSupport.h"
#include "feeds/Preference.h"
#include "mainwindow/MainFrame.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <wx/weakref.h>

// A real main frame in a temporary home: its configuration, data folder and
// profile live there and vanish with the test. The frame loads no BitTorrent
// engine unless a test asks for one.
class FrameFixture : public testing::Test
{
protected:
    // The data folder starts with an empty subscription tree (a test may
    // write its own over it): the program's seed tree has a list, which the
    // start-up refresh would go through.
    FrameFixture()
    {
        std::string treeFile = m_home.file("Documents/Kestrova/subscription/config.xml");
        std::filesystem::create_directories(std::filesystem::path(treeFile).parent_path());
        std::ofstream(treeFile) << "<?xml version=\"1.0\"?>\n<Kestrova/>\n";
    }

    void TearDown() override
    {
        CloseFrame();
        // A test that failed before making a frame still leaves no configuration behind.
        CPreference::Release();
    }

    // Changes the configuration the next frame starts with.
    void Configure(const std::function<void(CPreference&)>& change) { change(*CPreference::GetInstance()); }

    CMainFrame* MakeFrame(CMainFrame::Options options = NoEngine())
    {
        m_frame = new CMainFrame(nullptr, options);
        return m_frame;
    }
    CMainFrame* ShowFrame(wxSize size = wxSize(1000, 700), CMainFrame::Options options = NoEngine())
    {
        MakeFrame(options);
        m_frame->SetSize(wxRect(wxPoint(40, 40), size));
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        guitest::RunEventsFor(200);
        return m_frame;
    }

    // Closes the frame as the user would and waits until it is deleted.
    void CloseFrame()
    {
        if (!m_frame)
            return;
        m_frame->Close(true);
        guitest::RunEventsUntil([&] { return !m_frame; }, 120000);
    }

    static CMainFrame::Options NoEngine()
    {
        CMainFrame::Options options;
        options.loadTorrentEngine = false;
        return options;
    }

    testsupport::TempHome m_home;
    wxWeakRef<CMainFrame> m_frame;
};
