#pragma once

// A real configuration under a temporary HOME, a list database made from the
// template with one channel, and a local HTTP server serving enclosures.
#include "DownloadTestSupport.h"
#include "downloads/DownloadManager.h"
#include "downloads/PreferenceEnvironment.h"
#include "feeds/ListDatabaseFixture.h"
#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"
#include "support/LocalHttpServer.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace downloadtest
{

class TaskTest : public ::testing::Test
{
protected:
    static constexpr const char* kList = "news.mdb";
    static constexpr const char* kFeed = "http://site.test/feed";

    TaskTest();

    // An item with an enclosure served at path, and its transfer record.
    CTransferItem Enclosure(const std::string& path, int media, const std::string& label = "News",
                            int type = CTransferItem::kTypePlain);
    // The enclosure row of the item: "localfile|length|type".
    std::string StoredRow(const CTransferItem& record);
    std::string Data(const std::string& relative) const { return m_home.data(relative); }
    CTransferItem Queued(CDownloadManager& manager, const CTransferItem& record);
    void ChangeDownload(const std::function<void(CPreference::DownloadSection&)>& change);

    testsupport::ConfigHome m_home;
    CPreference* m_preference;
    CPreferenceEnvironment m_environment;
    testsupport::LocalHttpServer m_server;
    int m_items = 0;
};

} // namespace downloadtest
