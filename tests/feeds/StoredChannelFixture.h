#pragma once

// A configured data folder, a list database copied from the template and a
// recording download queue, for the tests that store, load, purge and search
// channels as a refresh does.
#include "ListDatabaseFixture.h"
#include "feeds/PageSave.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/RecordingDownloadQueue.h"

#include <string>
#include <vector>

namespace storedchannel
{

using liststore::S;
using liststore::Scalar;

class StoredChannel : public ::testing::Test
{
protected:
    StoredChannel()
    {
        store.downloadManager = &queue;
        PurgeOlderThan(0);
    }
    // Offline copies run on threads of their own; none may outlive the folders.
    ~StoredChannel() override { CPageSaveTask::CancelAllAndWait(30000); }

    // 0: the purge takes every item the feed no longer carries, whatever its age.
    void PurgeOlderThan(int days)
    {
        CPreference::GeneralSection general = Preference().GetGeneralSection();
        general.bPurgeItemOldThan = days > 0;
        general.nPurgeDayToLive = days;
        Preference().SetGeneralSection(general);
    }

    CPreference& Preference() { return *CPreference::GetInstance(); }
    std::string Library() { return S(Preference().GetLibraryDir().getPath()); }

    static CItemRecord Item(const char* link, const char* title, const char* enclosure = "",
                            const char* type = "audio/mpeg")
    {
        CItemRecord item;
        item.link = link;
        item.title = title;
        item.description = "text";
        item.enclosureLink = enclosure;
        if (*enclosure)
        {
            item.enclosureType = type;
            item.enclosureLength = "1000";
        }
        return item;
    }

    // A fresh parse of the feed into the store, as the update task does.
    void Parsed(const char* feed, const std::vector<CItemRecord>& parsed, const char* title = "Show")
    {
        store.Reset();
        store.channel.link = feed;
        // The site icon is fetched from the feed's host: for a made-up host a
        // closed loopback port keeps the test from looking that host up.
        if (std::string(feed).rfind("http://127.0.0.1", 0) != 0)
            store.channel.iconLink = "http://127.0.0.1:9/favicon.ico";
        store.channel.title = title;
        store.items = parsed;
    }

    std::string Count(const char* sql) { return Scalar(store, sql); }

    testsupport::ConfigHome config;
    feedtest::ShownMessages shown;
    liststore::ListFolder folder;
    CFeedStore store{folder.Folder()};
    testsupport::RecordingDownloadQueue queue;
};

} // namespace storedchannel
