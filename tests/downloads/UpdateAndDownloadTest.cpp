// A refresh of a podcast set to download automatically queues its new
// enclosures in the download manager; Download Now files them and records
// them in the list database.
#include "DownloadTestSupport.h"
#include "downloads/DownloadManager.h"
#include "downloads/PreferenceEnvironment.h"
#include "feeds/support/RefreshFixture.h"

#include <gtest/gtest.h>

namespace
{

using refreshtest::S;
using refreshtest::U;
using testsupport::ReadFileBytes;

class UpdateAndDownloadTest : public refreshtest::RefreshFixture
{
};

TEST_F(UpdateAndDownloadTest, AnAutoDownloadFeedEndsInTheLibrary)
{
    CPreference* preference = CPreference::GetInstance();
    CPreference::DownloadSection download = preference->GetDownloadSection();
    download.nMinFreeSpace = 1;
    download.nMaxDownloadingThreads = 2;
    preference->SetDownloadSection(download);

    const std::string base = site.url("/podcast");
    site.feed("/podcast",
              feedsite::Rss("Talk Show", base + "/site", feedsite::Items(base, "Ep", 1, 1, true)));
    Subscribe("user0.mdb", base, /*autoDownload=*/true);
    site.feed("/podcast",
              feedsite::Rss("Talk Show", base + "/site", feedsite::Items(base, "Ep", 1, 3, true)));
    for (int i = 1; i <= 3; ++i)
        site.server().serveContent("/podcast/media/" + std::to_string(i) + ".mp3",
                                   "episode " + std::to_string(i));
    MakeDue("user0.mdb");

    CPreferenceEnvironment environment(*preference);
    auto manager = std::make_shared<CDownloadManager>(environment, nullptr);
    {
        auto host = CRefreshHost::Create(window.getHandle(), manager, 2);
        host->SetParallelMode(true);
        Refresh(*host, {U("user0.mdb")});
    }
    const std::vector<CTransferItem> queued = manager->GetItems();
    ASSERT_GE(queued.size(), 2u) << "the new episodes are queued";
    for (const CTransferItem& record : queued)
    {
        EXPECT_EQ(S(record.label), "Talk Show");
        EXPECT_EQ(record.file, CTransferItem::kMediaAudio);
    }

    ASSERT_TRUE(manager->DownloadNow());
    manager->WaitForTasks();
    for (const CTransferItem& record : manager->GetItems())
    {
        EXPECT_EQ(record.status, CTransferItem::kComplete) << S(record.link);
        const std::string name = S(record.filename);
        EXPECT_EQ(ReadFileBytes(config.data("library/My Music/Talk Show/" + name)),
                  "episode " + name.substr(0, 1));
        EXPECT_EQ(Query("user0.mdb", "select localfile from enclosure where link = '" + S(record.link) + "'"),
                  "My Music/Talk Show/" + name);
    }
}

} // namespace
