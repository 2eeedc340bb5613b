#pragma once

// A configured data folder with list databases, feeds on 127.0.0.1, a window
// that records what it is posted and a recording download queue: what an
// update pass needs to run for real without a window.
#include "feeds/FeedStore.h"
#include "feeds/ListDatabaseFixture.h"
#include "feeds/RefreshHost.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedSite.h"
#include "feeds/support/FeedTestSupport.h"
#include "feeds/support/RecordingDownloadQueue.h"
#include "support/MessageQueue.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace refreshtest
{

using feedtest::S;
using feedtest::U;

class RefreshFixture : public testing::Test
{
protected:
    RefreshFixture()
    {
        CPreference* preference = CPreference::GetInstance();
        CPreference::GeneralSection general = preference->GetGeneralSection();
        general.bAutoPurge = false;
        general.nDefaultTimeout = 30;
        preference->SetGeneralSection(general);
        CPreference::DownloadSection download = preference->GetDownloadSection();
        download.bAutoDownload = false;
        preference->SetDownloadSection(download);
        AddList("user0.mdb");
        // One icon for every feed of the site: fetched once, at the first subscription.
        site.server().serveContent("/favicon.ico", std::string("\0\0\1\0", 4), "image/x-icon");
    }

    void AddList(const std::string& name)
    {
        std::filesystem::copy_file(liststore::TemplatePath(), config.data("subscription/" + name));
    }

    // Subscribes the way the user interface does: a store that fetches on
    // construction, keyed by the address, saved in subscribe mode.
    void Subscribe(const std::string& list, const std::string& url, bool autoDownload = false)
    {
        CFeedStore store(U(url), false);
        ASSERT_EQ(store.errorCode, 0) << url << ": " << store.errorText.c_str();
        store.channel.link = U(url);
        store.SaveChannel(U(list), false, /*subscribe=*/true, /*autoArchive=*/false, autoDownload);
    }

    // The first field of the first row of a statement on a list.
    std::string Query(const std::string& list, const std::string& sql)
    {
        CFeedStore reader;
        reader.SetDatabase(U(list));
        return liststore::Scalar(reader, U(sql));
    }
    void Execute(const std::string& list, const std::string& sql)
    {
        CFeedStore writer;
        writer.SetDatabase(U(list));
        liststore::Execute(writer, U(sql));
    }
    int ItemCount(const std::string& list, const std::string& feed)
    {
        CFeedStore reader;
        reader.SetDatabase(U(list));
        return std::stoi(liststore::CountWhere(reader, "item", "feed", U(feed)));
    }
    // Every channel of the list becomes due, whatever the clock says.
    void MakeDue(const std::string& list)
    {
        Execute(list, "UPDATE channel SET lastupdate='2000-01-01 00:00:00', ttl=0");
    }

    std::shared_ptr<CRefreshHost> MakeHost(int threads, bool parallel)
    {
        auto host = CRefreshHost::Create(window.getHandle(), queue, threads);
        host->SetParallelMode(parallel);
        return host;
    }
    // One refresh over the lists, waited for.
    void Refresh(CRefreshHost& host, std::vector<uString> lists)
    {
        ASSERT_EQ(host.RefreshAll(std::move(lists)), CRefreshHost::RefreshStart::kStarted);
        ASSERT_TRUE(host.WaitIdle(60000));
        EXPECT_FALSE(host.IsRefreshRunning());
    }

    // The posted texts of one message number, in order.
    static std::vector<std::string> Texts(const std::vector<uWindowMessage>& posted, std::uint32_t id)
    {
        std::vector<std::string> texts;
        for (const uWindowMessage& message : posted)
            if (message.message == id)
                texts.push_back(message.text ? S(*message.text) : "<none>");
        return texts;
    }

    testsupport::ConfigHome config;
    feedsite::FeedServer site;
    std::shared_ptr<testsupport::MessageQueue> messages = std::make_shared<testsupport::MessageQueue>();
    uMessageWindow window{messages};
    std::shared_ptr<testsupport::RecordingDownloadQueue> queue =
        std::make_shared<testsupport::RecordingDownloadQueue>();
};

} // namespace refreshtest
