// Transfer tasks end to end: a real configuration, a real list database and a
// local server; files are filed into the library and recorded in the store.
#include "TaskTestFixture.h"

#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <regex>

namespace
{

using downloadtest::S;
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

class TransferTaskTest : public downloadtest::TaskTest
{
protected:
    int StatusOf(const CTransferItem& record)
    {
        CTransferItem copy;
        return manager.GetItemByItem(record.item, copy) ? copy.status : -1;
    }
    // Runs one task for the record to its end; its status afterwards.
    int Run(const CTransferItem& record)
    {
        EXPECT_TRUE(manager.StartItemTask(record));
        manager.WaitForTasks();
        return StatusOf(record);
    }
    // Starts a download served slowly (two seconds and more) and waits until
    // its partial file has grown; returns the queued record.
    CTransferItem StartSlow(const std::string& content)
    {
        testsupport::HttpResponse slow;
        slow.body = content;
        slow.dripMs = 10;
        slow.dripBytes = 2000;
        m_server.serve("/slow.mp3", slow);
        CTransferItem record = Enclosure("/slow.mp3", CTransferItem::kMediaAudio);
        record.length = content.size();
        EXPECT_TRUE(manager.StartItemTask(record));
        const std::string partial = Data("temp/" + S(Md5Hex(record.id)) + "/slow.mp3");
        EXPECT_TRUE(
            WaitUntil([&] { return FileExists(partial) && std::filesystem::file_size(partial) > 10000; }));
        CTransferItem queued;
        manager.GetItemByItem(record.item, queued);
        return queued;
    }

    downloadtest::RecordingHost host;
    CDownloadManager manager{m_environment, &host};
};

TEST_F(TransferTaskTest, DownloadNowFilesEachKindUnderTheChannel)
{
    const std::string audio = Pattern(30000, 'a'), video = Pattern(70000, 'v'), other = Pattern(500, 'o');
    m_server.serveContent("/ep/show.mp3", audio);
    m_server.serveContent("/ep/clip.mp4", video);
    m_server.serveContent("/ep/notes.pdf?x=1", other);
    m_server.serveContent("/ep/notes.pdf", other);
    const CTransferItem records[] = {Enclosure("/ep/show.mp3", CTransferItem::kMediaAudio),
                                     Enclosure("/ep/clip.mp4", CTransferItem::kMediaVideo),
                                     Enclosure("/ep/notes.pdf?x=1", CTransferItem::kMediaOther)};
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
        EXPECT_EQ(StatusOf(record), CTransferItem::kComplete);
    CTransferItem filed;
    manager.GetItemByItem(records[0].item, filed);
    EXPECT_EQ(S(filed.localfile.getPath()), Data("library/My Music/News/show.mp3"));
    EXPECT_TRUE(std::filesystem::is_empty(Data("temp"))) << "the per-record temp folders go with their files";

    const auto calls = host.Calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) { return c.rfind("text ", 0) == 0; }),
              3);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "text Downloading " + S(records[1].link)), calls.end());
    EXPECT_NE(std::find_if(calls.begin(), calls.end(),
                           [](const std::string& c) { return c.rfind("arm 2 ", 0) == 0; }),
              calls.end());
    // Once every announced transfer has ended the status line is told, once,
    // after the last "Downloading" text.
    const auto last = std::find_if(calls.rbegin(), calls.rend(),
                                   [](const std::string& c) { return c.rfind("text ", 0) == 0; });
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ended"), 1);
    EXPECT_NE(std::find(last.base(), calls.end(), "ended"), calls.end());
}

TEST_F(TransferTaskTest, SameNameIsDeduplicatedByContent)
{
    const std::string first = Pattern(4000, 'a');
    m_server.serveContent("/one/show.mp3", first);
    m_server.serveContent("/two/show.mp3", first);
    m_server.serveContent("/three/show.mp3", Pattern(4000, 'b'));
    const CTransferItem records[] = {Enclosure("/one/show.mp3", CTransferItem::kMediaAudio),
                                     Enclosure("/two/show.mp3", CTransferItem::kMediaAudio),
                                     Enclosure("/three/show.mp3", CTransferItem::kMediaAudio)};
    for (const CTransferItem& record : records)
        EXPECT_EQ(Run(record), CTransferItem::kComplete);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Data("library/My Music/News")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "show.mp3");
    EXPECT_TRUE(std::regex_match(names[0], std::regex("show-[0-9a-f]{8}\\.mp3"))) << names[0];
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/" + names[0])), Pattern(4000, 'b'));
    EXPECT_EQ(StoredRow(records[1]), "My Music/News/show.mp3|4000|audio/mpeg");
    EXPECT_EQ(StoredRow(records[2]), "My Music/News/" + names[0] + "|4000|audio/mpeg");

    // Another item's file of other content under that name stays.
    m_server.serveContent("/c/" + names[0], Pattern(4000, 'c'));
    const CTransferItem refiled[] = {Enclosure("/c/" + names[0], CTransferItem::kMediaAudio, "Other"),
                                     Enclosure("/one/show.mp3?c", CTransferItem::kMediaAudio, "Other"),
                                     Enclosure("/three/show.mp3?c", CTransferItem::kMediaAudio, "Other")};
    for (const CTransferItem& record : refiled)
        EXPECT_EQ(Run(record), CTransferItem::kComplete);
    EXPECT_TRUE(ReadFileBytes(Data("library/My Music/Other/" + names[0])) == Pattern(4000, 'c'));
    const std::string filed = StoredRow(refiled[2]);
    EXPECT_TRUE(ReadFileBytes(Data("library/" + filed.substr(0, filed.find('|')))) == Pattern(4000, 'b'))
        << filed;
    // Downloaded again, that content is filed once: the numbered copy stands for it.
    for (const char* again : {"?d", "?e"})
    {
        const CTransferItem record =
            Enclosure(std::string("/three/show.mp3") + again, CTransferItem::kMediaAudio, "Other");
        EXPECT_EQ(Run(record), CTransferItem::kComplete);
        EXPECT_EQ(StoredRow(record), filed);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Data("library/My Music/Other")), {}), 3);
}

TEST_F(TransferTaskTest, ChannelTitlesNeverLeaveTheLibrary)
{
    m_server.serveContent("/a.mp3", "a");
    m_server.serveContent("/b.mp3", "b");
    Run(Enclosure("/a.mp3", CTransferItem::kMediaAudio, ".."));
    Run(Enclosure("/b.mp3", CTransferItem::kMediaAudio, "../../b"));
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/_/a.mp3")), "a");
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/....b/b.mp3")), "b");
}

// Feed text longer than a file system takes in one name (255 bytes): the
// enclosure's name from its link and the channel title both.
TEST_F(TransferTaskTest, NamesLongerThanAFileSystemTakesAreCutAndFiled)
{
    std::string name; // 33 percent-encoded Japanese characters: 301 bytes
    for (int i = 0; i < 33; ++i)
        name += "%E3%81%82";
    name += ".mp3";
    std::string title; // 100 CJK characters: 300 bytes
    for (int i = 0; i < 100; ++i)
        title += "\xE6\x97\xA5";
    m_server.serveContent("/a/" + name, Pattern(3000, 'a'));
    m_server.serveContent("/b/" + name, Pattern(3000, 'b'));
    const CTransferItem first = Enclosure("/a/" + name, CTransferItem::kMediaAudio, title);
    const CTransferItem second = Enclosure("/b/" + name, CTransferItem::kMediaAudio, title);
    ASSERT_EQ(Run(first), CTransferItem::kComplete);
    // The same name with other content is filed beside it, its suffix within the limit too.
    ASSERT_EQ(Run(second), CTransferItem::kComplete);

    const std::string folder = S(SafeFileName(U(title)));
    const std::string filed = S(SafeFileName(U(name)));
    EXPECT_LT(folder.size(), title.size());
    EXPECT_EQ(filed.substr(filed.size() - 4), ".mp3");
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/" + folder + "/" + filed)), Pattern(3000, 'a'));
    EXPECT_EQ(StoredRow(first), "My Music/" + folder + "/" + filed + "|3000|audio/mpeg");
    const std::string other = StoredRow(second);
    const std::string otherName =
        other.substr(0, other.find('|')).substr(("My Music/" + folder + "/").size());
    EXPECT_NE(otherName, filed);
    EXPECT_LE(otherName.size(), 255u);
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/" + folder + "/" + otherName)), Pattern(3000, 'b'));
}

TEST_F(TransferTaskTest, FailedRecordsAreRetriedUpToTwentyFourTimes)
{
    m_server.serveContent("/r.mp3", "retried");
    for (int retry : {23, 24})
    {
        const CTransferItem added = Enclosure("/r.mp3?" + std::to_string(retry), CTransferItem::kMediaAudio);
        manager.AddItem(added);
        CTransferItem record;
        manager.GetItemByItem(added.item, record);
        manager.SetStatus(record, CTransferItem::kFailed);
        manager.SetRetry(record, retry);
        const std::size_t requests = m_server.requestCount();
        bool changed = false;
        EXPECT_EQ(manager.RunTransfer(record, changed), retry == 23);
        EXPECT_TRUE(changed);
        EXPECT_EQ(record.retry, 24);
        EXPECT_EQ(record.status, retry == 23 ? CTransferItem::kComplete : CTransferItem::kFailed);
        EXPECT_EQ(m_server.requestCount() == requests, retry == 24) << "a spent record is not fetched again";
    }
}

TEST_F(TransferTaskTest, AnErrorPageIsNeverFiled)
{
    m_server.serve("/missing.mp3", testsupport::TextResponse(404, "<html>gone</html>", "text/html"));
    const CTransferItem record = Enclosure("/missing.mp3", CTransferItem::kMediaAudio);
    EXPECT_EQ(Run(record), CTransferItem::kFailed);
    EXPECT_FALSE(FileExists(Data("library/My Music/News/missing.mp3")));
    EXPECT_EQ(StoredRow(record), "|1234|audio/mpeg") << "the store keeps its row unchanged";
    // A failed record is not started by a pass.
    const std::size_t requests = m_server.requestCount();
    ASSERT_TRUE(manager.StartPending());
    manager.WaitForTasks();
    EXPECT_EQ(m_server.requestCount(), requests);
}

TEST_F(TransferTaskTest, AtMostTheLimitRunsAtOnce)
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
        CTransferItem record = Enclosure("/gated" + std::to_string(i) + ".mp3", CTransferItem::kMediaAudio);
        record.length = 6; // no header request: one request per transfer
        manager.AddItem(record);
    }
    ASSERT_TRUE(manager.DownloadNow());
    EXPECT_FALSE(manager.DownloadNow()) << "one starter at a time";
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

TEST_F(TransferTaskTest, StopEndsADownloadThatThenResumesToTheSameBytes)
{
    const std::string content = Pattern(400000, 's');
    CTransferItem queued = StartSlow(content);
    const std::string partial = Data("temp/" + S(Md5Hex(queued.id)) + "/slow.mp3");
    EXPECT_FALSE(manager.StartItemTask(queued)) << "one task per entry";
    ASSERT_TRUE(manager.StopItem(queued));
    manager.WaitForTasks();
    EXPECT_EQ(StatusOf(queued), CTransferItem::kStopped);
    ASSERT_TRUE(FileExists(partial));
    const auto kept = std::filesystem::file_size(partial);
    EXPECT_LT(kept, content.size()) << "the transfer went on after Stop";
    EXPECT_FALSE(FileExists(Data("library/My Music/News/slow.mp3")));

    // Started again, it continues where it stopped.
    m_server.serveContent("/slow.mp3", content);
    m_server.clearLog();
    manager.SetStatus(queued, CTransferItem::kQueued);
    EXPECT_EQ(Run(queued), CTransferItem::kComplete);
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/slow.mp3")), content);
    const auto requests = m_server.requestsFor("/slow.mp3");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rangeStart(), std::optional<std::size_t>(kept));
}

TEST_F(TransferTaskTest, CancelEndsADownloadAndDropsItsFile)
{
    CTransferItem queued = StartSlow(Pattern(400000, 'c'));
    ASSERT_TRUE(manager.CancelItem(queued));
    manager.WaitForTasks();
    EXPECT_EQ(StatusOf(queued), CTransferItem::kCancelled);
    EXPECT_FALSE(FileExists(Data("temp/" + S(Md5Hex(queued.id)))));
}

TEST_F(TransferTaskTest, PostProcessGetsFeedTextAsSingleArguments)
{
    const std::string out = m_home.home().file("args.txt");
    const std::string pwned = m_home.home().file("pwned");
    CPreference::PodcastSection podcast = m_preference->GetPodcastSection();
    podcast.strPostProcessCommand =
        U("/bin/sh -c 'printf \"[%s]\\n\" \"$1\" \"$2\" > " + out + "' sh %f \"%n\"");
    m_preference->SetPodcastSection(podcast);
    m_server.serveContent("/p.mp3", "post");
    const std::string label = "\"; touch " + pwned + "; \"";
    Run(Enclosure("/p.mp3", CTransferItem::kMediaAudio, label));

    ASSERT_TRUE(WaitUntil(
        [&]
        {
            const std::string written = ReadFileBytes(out);
            return std::count(written.begin(), written.end(), '\n') >= 2;
        }));
    std::string channelFolder = label;
    channelFolder.erase(std::remove(channelFolder.begin(), channelFolder.end(), '/'), channelFolder.end());
    EXPECT_EQ(ReadFileBytes(out),
              "[" + Data("library/My Music/" + channelFolder + "/p.mp3") + "]\n[" + label + "]\n");
    EXPECT_FALSE(FileExists(pwned));
}

} // namespace
