#pragma once

// A configured HOME with one subscription list, the item templates in the
// program folder, a feed served on 127.0.0.1 and subscribed, and a window
// holding the item list above the browser frame, as the main window does.
#include "feeds/FeedStore.h"
#include "feeds/PageSave.h"
#include "feeds/support/ConfigHome.h"
#include "mainwindow/ItemReader.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/imaglist.h>

namespace reading
{
std::string Text(const uString& text);

class ReadingFixture : public testing::Test
{
protected:
    ReadingFixture();
    ~ReadingFixture() override;

    // Fetches the served feed and stores it in default.mdb, as subscribing does.
    void Subscribe();
    // Loads the feed from the list and fills the item list with it.
    void SelectFeed();
    std::string FeedUrl() const { return m_server.url("/feed.xml"); }
    std::string Query(const std::string& sql);
    int Unread();
    // The page the browser pane shows, once it shows `text`; empty after 15 s without.
    std::string WaitForPage(const std::string& text);
    wxPoint RowPoint(int row, int x = 60);

    testsupport::ConfigHome m_config;
    testsupport::LocalHttpServer m_server;
    wxFrame* m_frame = nullptr;
    CKestrovaView* m_list = nullptr;
    CWebBrowserFrame* m_browser = nullptr;
    wxImageList m_images{16, 16, true, 20};
    std::unique_ptr<CItemReader> m_reader;
    int m_labelRefreshes = 0;
};
} // namespace reading
