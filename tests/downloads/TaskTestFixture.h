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

#include <filesystem>
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

    TaskTest() : m_preference(CPreference::GetInstance()), m_environment(*m_preference)
    {
        ChangeDownload(
            [](CPreference::DownloadSection& download)
            {
                download.nMinFreeSpace = 1; // test disks can be nearly full
                download.nMaxDownloadingThreads = 2;
                download.bIntervalScheduler = true;
            });
        std::filesystem::copy_file(liststore::TemplatePath(), Data(std::string("subscription/") + kList));
        CFeedStore store(m_preference->GetSubscriptionDir().getPath());
        store.SetDatabase(kList);
        liststore::InsertChannel(store, kFeed, "News", 60, 2);
    }

    // An item with an enclosure served at path, and its transfer record.
    CTransferItem Enclosure(const std::string& path, int media, const std::string& label = "News",
                            int type = CTransferItem::kTypePlain)
    {
        const std::string item = "http://site.test/item" + std::to_string(++m_items);
        const std::string link = m_server.url(path);
        CFeedStore store(m_preference->GetSubscriptionDir().getPath());
        store.SetDatabase(kList);
        liststore::InsertItem(store, kFeed, U(item), "Item");
        liststore::InsertEnclosure(store, U(item), U(link), "audio/mpeg");
        return CTransferItem(type, media, U(label), U(kList), U(kFeed), U(item), U(link));
    }
    // The enclosure row of the item: "localfile|length|type".
    std::string StoredRow(const CTransferItem& record)
    {
        CFeedStore store(m_preference->GetSubscriptionDir().getPath());
        store.SetDatabase(kList);
        uString sql;
        sql.format("select localfile || '|' || length || '|' || type from enclosure where feed = %s",
                   SqlHexLiteral(record.item).c_str());
        return liststore::Scalar(store, sql);
    }
    std::string Data(const std::string& relative) const { return m_home.data(relative); }
    void ChangeDownload(const std::function<void(CPreference::DownloadSection&)>& change)
    {
        CPreference::DownloadSection section = m_preference->GetDownloadSection();
        change(section);
        m_preference->SetDownloadSection(section);
    }

    testsupport::ConfigHome m_home;
    CPreference* m_preference;
    CPreferenceEnvironment m_environment;
    testsupport::LocalHttpServer m_server;
    int m_items = 0;
};

} // namespace downloadtest
