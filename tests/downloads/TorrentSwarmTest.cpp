// Two engines of the real plug-in on 127.0.0.1 exchange a file through a
// tracker of the test's own.
#include "EngineTestSupport.h"

using namespace torrenttest;

namespace
{

constexpr int kPieceLength = 16384;
constexpr std::uint64_t kFullPieces = 10;
constexpr std::uint64_t kFileSize = kFullPieces * kPieceLength + 1000;

using TorrentSwarmTest = EngineTest;

TEST_F(TorrentSwarmTest, DownloadsAFileByteIdenticalWithProgressOnTheWay)
{
    const std::string content = PatternBytes(kFileSize, 7);
    const MadeTorrent made =
        MakeSingleFileTorrent("episode.mp3", content, m_tracker.announceUrl(), kPieceLength, "show notes");
    const std::string torrentPath = m_dir.write("episode.torrent", made.bytes);
    const uString name(made.infoKey.c_str());

    // The seed first holds a copy whose last piece is damaged, so both sides
    // stop with every piece but the last: a state that stays put to be read.
    std::string damaged = content;
    damaged.back() ^= 0x55;
    m_dir.write("seed/episode.mp3", damaged);
    auto seed = NewEngine(m_dir.file("seed"));
    auto leech = NewEngine(m_dir.file("leech"));
    ASSERT_TRUE(seed && leech);

    ASSERT_TRUE(leech->AddTorrent(PathOf(torrentPath)));
    CTorrentStatus byFile;
    ASSERT_TRUE(leech->GetStatusByFile(PathOf(torrentPath), byFile));
    EXPECT_EQ(Text(byFile.name), made.infoKey);
    EXPECT_EQ(Text(byFile.displayName), "episode.mp3");
    EXPECT_EQ(Text(byFile.comment), "show notes");
    EXPECT_EQ(byFile.total, kFileSize);
    EXPECT_EQ(byFile.pieceSize, kPieceLength);

    ASSERT_TRUE(seed->AddTorrent(PathOf(torrentPath)));
    const std::uint64_t partial = kFullPieces * kPieceLength;
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(*leech, made.infoKey).done == partial; }))
        << "the leech never got the seed's good pieces";

    EXPECT_FALSE(StatusOf(*seed, made.infoKey).finished);
    const CTorrentStatus leechPartial = StatusOf(*leech, made.infoKey);
    EXPECT_EQ(leechPartial.state, CTorrentStatus::kDownloading);
    EXPECT_EQ(leechPartial.peers, 1);
    EXPECT_FALSE(leechPartial.finished);
    // The running totals are brought up to date once a second.
    EXPECT_TRUE(WaitUntil([&] { return StatusOf(*leech, made.infoKey).downloaded >= partial; }));

    std::vector<TorrentPeerEntry> peers;
    ASSERT_TRUE(leech->GetPeers(name, peers));
    ASSERT_EQ(peers.size(), 1u);
    EXPECT_EQ(Text(peers[0].address).rfind("127.0.0.1:", 0), 0u) << Text(peers[0].address);
    EXPECT_GE(peers[0].downloaded, partial);

    std::vector<TorrentFileEntry> files;
    ASSERT_TRUE(leech->GetFiles(name, files));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].done, partial) << "verified bytes, not the sparse file's size";

    // The seed's data can be replaced as soon as its torrent is removed; added
    // again, the seed checks the repaired file and completes the leech.
    ASSERT_TRUE(seed->RemoveTorrent(name));
    m_dir.write("seed/episode.mp3", content);
    ASSERT_TRUE(seed->AddTorrent(PathOf(torrentPath)));

    ASSERT_TRUE(WaitUntil([&] { return StatusOf(*leech, made.infoKey).finished; }));
    const CTorrentStatus complete = StatusOf(*leech, made.infoKey);
    EXPECT_EQ(complete.done, kFileSize);
    EXPECT_TRUE(complete.state == CTorrentStatus::kFinished || complete.state == CTorrentStatus::kSeeding)
        << complete.state;
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir.file("leech/episode.mp3")), content);
    EXPECT_TRUE(WaitUntil([&] { return StatusOf(*seed, made.infoKey).uploaded >= kFileSize - partial; }));

    std::vector<TorrentTrackerEntry> trackers;
    ASSERT_TRUE(leech->GetTrackers(name, trackers));
    ASSERT_EQ(trackers.size(), 1u);
    EXPECT_EQ(Text(trackers[0].url), m_tracker.announceUrl());

    // A complete torrent that is paused still reads complete, but not active.
    ASSERT_TRUE(leech->PauseTorrentByFile(PathOf(torrentPath)));
    const CTorrentStatus paused = StatusOf(*leech, made.infoKey);
    EXPECT_FALSE(paused.active);
    EXPECT_TRUE(paused.finished);
    EXPECT_NE(paused.state, CTorrentStatus::kPaused);
}

} // namespace
