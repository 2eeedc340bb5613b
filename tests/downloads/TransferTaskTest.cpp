// Transfer tasks end to end: a real configuration, a real list database and a
// local server; files are filed into the library and recorded in the store.
#include "TaskTestFixture.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <regex>

namespace
{

using downloadtest::S;
using downloadtest::TaskTest;
using downloadtest::U;
using downloadtest::WaitUntil;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

std::string Pattern(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 % 91);
    return bytes;
}

int StatusOf(const CDownloadManager& manager, const CTransferItem& record)
{
    CTransferItem copy;
    return manager.GetItemByItem(record.item, copy) ? copy.status : -1;
}

TEST_F(TaskTest, DownloadNowFilesEachKindUnderTheChannel)
{
    const std::string audio = Pattern(30000, 'a'), video = Pattern(70000, 'v'), other = Pattern(500, 'o');
    m_server.serveContent("/ep/show.mp3", audio);
    m_server.serveContent("/ep/clip.mp4", video);
    m_server.serveContent("/ep/notes.pdf?x=1", other);
    m_server.serveContent("/ep/notes.pdf", other);
    const CTransferItem records[] = {Enclosure("/ep/show.mp3", CTransferItem::kMediaAudio),
                                     Enclosure("/ep/clip.mp4", CTransferItem::kMediaVideo),
                                     Enclosure("/ep/notes.pdf?x=1", CTransferItem::kMediaOther)};
    downloadtest::RecordingHost host;
    CDownloadManager manager(m_environment, &host);
    EXPECT_FALSE(manager.HasTorrentEngine());
    for (const CTransferItem& record : records)
        manager.AddItem(record);
    ASSERT_TRUE(manager.DownloadNow());
    manager.WaitForTasks();

    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/show.mp3")), audio);
    EXPECT_EQ(ReadFileBytes(Data("library/My Movie/News/clip.mp4")), video);
    EXPECT_EQ(ReadFileBytes(Data("library/My Download/News/notes.pdf")), other);
    EXPECT_EQ(StoredRow(records[0]), "My Music/News/show.mp3|30000|audio/mpeg");
    EXPECT_EQ(StoredRow(records[1]), "My Movie/News/clip.mp4|70000|audio/mpeg");
    EXPECT_EQ(StoredRow(records[2]), "My Download/News/notes.pdf|500|audio/mpeg");
    for (const CTransferItem& record : records)
        EXPECT_EQ(StatusOf(manager, record), CTransferItem::kComplete);
    CTransferItem filed;
    ASSERT_TRUE(manager.GetItemByItem(records[0].item, filed));
    EXPECT_EQ(S(filed.localfile.getPath()), Data("library/My Music/News/show.mp3"));
    // The per-record temp folders are gone with their files.
    EXPECT_TRUE(std::filesystem::is_empty(Data("temp")));

    const auto texts = host.Texts();
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Downloading " + S(records[1].link)), texts.end());
    ASSERT_FALSE(host.Timers().empty());
    EXPECT_TRUE(host.Timers().back().armed);
}

TEST_F(TaskTest, SameNameIsDeduplicatedByContent)
{
    const std::string first = Pattern(4000, 'a');
    m_server.serveContent("/one/show.mp3", first);
    m_server.serveContent("/two/show.mp3", first);
    m_server.serveContent("/three/show.mp3", Pattern(4000, 'b'));
    CDownloadManager manager(m_environment, nullptr);
    const CTransferItem records[] = {Enclosure("/one/show.mp3", CTransferItem::kMediaAudio),
                                     Enclosure("/two/show.mp3", CTransferItem::kMediaAudio),
                                     Enclosure("/three/show.mp3", CTransferItem::kMediaAudio)};
    for (const CTransferItem& record : records)
    {
        ASSERT_TRUE(manager.StartItemTask(record));
        manager.WaitForTasks();
        EXPECT_EQ(StatusOf(manager, record), CTransferItem::kComplete);
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Data("library/My Music/News")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "show.mp3");
    EXPECT_TRUE(std::regex_match(names[0], std::regex("show-[0-9a-f]{8}\\.mp3"))) << names[0];
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/show.mp3")), first);
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/" + names[0])), Pattern(4000, 'b'));
    EXPECT_EQ(StoredRow(records[1]), "My Music/News/show.mp3|4000|audio/mpeg");
    EXPECT_EQ(StoredRow(records[2]), "My Music/News/" + names[0] + "|4000|audio/mpeg");
}

TEST_F(TaskTest, ChannelTitlesNeverLeaveTheLibrary)
{
    m_server.serveContent("/a.mp3", "a");
    m_server.serveContent("/b.mp3", "b");
    CDownloadManager manager(m_environment, nullptr);
    ASSERT_TRUE(manager.StartItemTask(Enclosure("/a.mp3", CTransferItem::kMediaAudio, "..")));
    manager.WaitForTasks();
    ASSERT_TRUE(manager.StartItemTask(Enclosure("/b.mp3", CTransferItem::kMediaAudio, "../../b")));
    manager.WaitForTasks();
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/_/a.mp3")), "a");
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/....b/b.mp3")), "b");
}

TEST_F(TaskTest, FailedRecordsAreRetriedUpToTwentyFourTimes)
{
    m_server.serveContent("/r.mp3", "retried");
    CDownloadManager manager(m_environment, nullptr);
    CTransferItem record = Queued(manager, Enclosure("/r.mp3", CTransferItem::kMediaAudio));
    manager.SetStatus(record, CTransferItem::kFailed);
    manager.SetRetry(record, 23);
    bool changed = false;
    EXPECT_TRUE(manager.RunTransfer(record, changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(record.retry, 24);
    EXPECT_EQ(record.status, CTransferItem::kComplete);

    CTransferItem spent = Queued(manager, Enclosure("/r.mp3?2", CTransferItem::kMediaAudio));
    manager.SetStatus(spent, CTransferItem::kFailed);
    manager.SetRetry(spent, 24);
    const std::size_t requests = m_server.requestCount();
    EXPECT_FALSE(manager.RunTransfer(spent, changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(spent.status, CTransferItem::kFailed);
    EXPECT_EQ(spent.retry, 24);
    EXPECT_EQ(m_server.requestCount(), requests);
}

TEST_F(TaskTest, AnErrorPageIsNeverFiled)
{
    m_server.serve("/missing.mp3", testsupport::TextResponse(404, "<html>gone</html>", "text/html"));
    CDownloadManager manager(m_environment, nullptr);
    const CTransferItem record = Enclosure("/missing.mp3", CTransferItem::kMediaAudio);
    ASSERT_TRUE(manager.StartItemTask(record));
    manager.WaitForTasks();
    EXPECT_EQ(StatusOf(manager, record), CTransferItem::kFailed);
    EXPECT_FALSE(FileExists(Data("library/My Music/News/missing.mp3")));
    EXPECT_EQ(StoredRow(record), "|1234|audio/mpeg") << "the store keeps its row unchanged";
    // A failed record is not started by a pass.
    const std::size_t requests = m_server.requestCount();
    ASSERT_TRUE(manager.StartPending());
    manager.WaitForTasks();
    EXPECT_EQ(m_server.requestCount(), requests);
}

TEST_F(TaskTest, AtMostTheLimitRunsAtOnce)
{
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0, maxInFlight = 0;
    bool open = false;
    for (int i = 0; i < 5; ++i)
    {
        m_server.route("/gated" + std::to_string(i) + ".mp3",
                       [&, i](const testsupport::HttpRequest& request)
                       {
                           std::unique_lock<std::mutex> lock(mutex);
                           maxInFlight = std::max(maxInFlight, ++inFlight);
                           changed.notify_all();
                           changed.wait_for(lock, std::chrono::seconds(20), [&] { return open; });
                           --inFlight;
                           return testsupport::ContentResponse(request, "gated" + std::to_string(i));
                       });
    }
    CDownloadManager manager(m_environment, nullptr);
    std::vector<CTransferItem> records;
    for (int i = 0; i < 5; ++i)
    {
        records.push_back(Enclosure("/gated" + std::to_string(i) + ".mp3", CTransferItem::kMediaAudio));
        records.back().length = 6; // no header request: one request per transfer
        manager.AddItem(records.back());
    }
    ASSERT_TRUE(manager.DownloadNow());
    EXPECT_FALSE(manager.DownloadNow()); // one starter at a time
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return inFlight == 2; }));
        // A limiter that let a third through would show it here at once.
        changed.wait_for(lock, std::chrono::milliseconds(300), [&] { return inFlight > 2; });
        EXPECT_EQ(inFlight, 2);
        EXPECT_TRUE(manager.IsBusy());
        open = true;
        changed.notify_all();
    }
    manager.WaitForTasks();
    EXPECT_EQ(maxInFlight, 2);
    EXPECT_FALSE(manager.IsBusy());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/gated" + std::to_string(i) + ".mp3")),
                  "gated" + std::to_string(i));
}

TEST_F(TaskTest, StopEndsADownloadThatThenResumesToTheSameBytes)
{
    const std::string content = Pattern(400000, 's');
    testsupport::HttpResponse slow;
    slow.body = content;
    slow.dripMs = 10;
    slow.dripBytes = 2000; // two hundred pieces: two seconds and more
    m_server.serve("/slow.mp3", slow);
    CDownloadManager manager(m_environment, nullptr);
    CTransferItem record = Enclosure("/slow.mp3", CTransferItem::kMediaAudio);
    record.length = content.size();
    ASSERT_TRUE(manager.StartItemTask(record));
    const std::string partial = Data("temp/" + S(Md5Hex(record.id)) + "/slow.mp3");
    ASSERT_TRUE(
        WaitUntil([&] { return FileExists(partial) && std::filesystem::file_size(partial) > 10000; }));
    EXPECT_FALSE(manager.StartItemTask(record)) << "one task per entry";

    CTransferItem queued;
    manager.GetItemByItem(record.item, queued);
    ASSERT_TRUE(manager.StopItem(queued));
    manager.WaitForTasks();
    EXPECT_EQ(StatusOf(manager, record), CTransferItem::kStopped);
    ASSERT_TRUE(FileExists(partial));
    const auto kept = std::filesystem::file_size(partial);
    EXPECT_LT(kept, content.size()) << "the transfer went on after Stop";
    EXPECT_FALSE(FileExists(Data("library/My Music/News/slow.mp3")));

    // Started again, it continues where it stopped.
    m_server.serveContent("/slow.mp3", content);
    m_server.clearLog();
    manager.SetStatus(queued, CTransferItem::kQueued);
    ASSERT_TRUE(manager.StartItemTask(queued));
    manager.WaitForTasks();
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/slow.mp3")), content);
    const auto requests = m_server.requestsFor("/slow.mp3");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rangeStart(), std::optional<std::size_t>(kept));
}

TEST_F(TaskTest, CancelEndsADownloadAndDropsItsFile)
{
    testsupport::HttpResponse slow;
    slow.body = Pattern(400000, 'c');
    slow.dripMs = 10;
    slow.dripBytes = 2000;
    m_server.serve("/slow.mp3", slow);
    CDownloadManager manager(m_environment, nullptr);
    CTransferItem record = Enclosure("/slow.mp3", CTransferItem::kMediaAudio);
    record.length = slow.body.size();
    ASSERT_TRUE(manager.StartItemTask(record));
    const std::string folder = Data("temp/" + S(Md5Hex(record.id)));
    ASSERT_TRUE(WaitUntil([&] { return FileExists(folder + "/slow.mp3"); }));
    CTransferItem queued;
    manager.GetItemByItem(record.item, queued);
    ASSERT_TRUE(manager.CancelItem(queued));
    manager.WaitForTasks();
    EXPECT_EQ(StatusOf(manager, record), CTransferItem::kCancelled);
    EXPECT_FALSE(FileExists(folder));
}

TEST_F(TaskTest, PostProcessGetsFeedTextAsSingleArguments)
{
    const std::string out = m_home.home().file("args.txt");
    const std::string pwned = m_home.home().file("pwned");
    CPreference::PodcastSection podcast = m_preference->GetPodcastSection();
    podcast.strPostProcessCommand =
        U("/bin/sh -c 'printf \"[%s]\\n\" \"$1\" \"$2\" > " + out + "' sh %f \"%n\"");
    m_preference->SetPodcastSection(podcast);
    m_server.serveContent("/p.mp3", "post");
    const std::string label = "\"; touch " + pwned + "; \"";
    CDownloadManager manager(m_environment, nullptr);
    ASSERT_TRUE(manager.StartItemTask(Enclosure("/p.mp3", CTransferItem::kMediaAudio, label)));
    manager.WaitForTasks();

    ASSERT_TRUE(WaitUntil(
        [&]
        { return ReadFileBytes(out).find('\n', ReadFileBytes(out).find('\n') + 1) != std::string::npos; }));
    std::string channelFolder = label;
    channelFolder.erase(std::remove(channelFolder.begin(), channelFolder.end(), '/'), channelFolder.end());
    const std::string args = ReadFileBytes(out);
    EXPECT_NE(args.find("[" + label + "]\n"), std::string::npos) << args;
    EXPECT_EQ(args.substr(0, args.find('\n')),
              "[" + Data("library/My Music/" + channelFolder + "/p.mp3") + "]");
    EXPECT_FALSE(FileExists(pwned));
}

} // namespace
