#include "VessimarEngine.h"

#include <exception>
#include <new>
#include <type_traits>

namespace vessimar
{

namespace
{

std::string Text(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

std::string Path(const uFile& file)
{
    return Text(file.getPath());
}

bool Assign(uString& target, const std::string& text)
{
    return target.assign(text.data(), 0, static_cast<int>(text.size()));
}

bool Copy(const Status& from, CTorrentStatus& to)
{
    to.finished = from.finished;
    to.active = from.active;
    to.done = from.done;
    to.total = from.total;
    to.downloaded = from.downloaded;
    to.uploaded = from.uploaded;
    to.uploadRate = from.uploadRate;
    to.downloadRate = from.downloadRate;
    to.health = from.health;
    to.pieceSize = from.pieceSize;
    to.seeds = from.seeds;
    to.peers = from.peers;
    to.state = from.state;
    return Assign(to.name, from.name) && Assign(to.displayName, from.displayName) &&
           Assign(to.comment, from.comment);
}

bool Copy(const FileEntry& from, TorrentFileEntry& to)
{
    to.size = from.size;
    to.done = from.done;
    return Assign(to.path, from.path);
}

bool Copy(const TrackerEntry& from, TorrentTrackerEntry& to)
{
    to.tier = from.tier;
    return Assign(to.url, from.url);
}

bool Copy(const PeerEntry& from, TorrentPeerEntry& to)
{
    to.uploadRate = from.uploadRate;
    to.downloadRate = from.downloadRate;
    to.uploaded = from.uploaded;
    to.downloaded = from.downloaded;
    return Assign(to.address, from.address) && Assign(to.status, from.status);
}

template <typename From, typename To> bool CopyList(const std::vector<From>& from, std::vector<To>& to)
{
    to.clear();
    to.reserve(from.size());
    for (const From& entry : from)
    {
        to.emplace_back();
        if (!Copy(entry, to.back()))
            return false;
    }
    return true;
}

// libtorrent reports failures by exceptions (a handle whose torrent went away
// meanwhile, memory); none may reach the program.
template <typename Call> bool Guarded(Call&& call) noexcept
{
    try
    {
        return call();
    }
    catch (...)
    {
        return false;
    }
}

} // namespace

bool VessimarEngine::WasDuplicate()
{
    return m_session.WasDuplicate();
}

bool VessimarEngine::SetListenPorts(int port1, int port2)
{
    return Guarded(
        [&]
        {
            m_session.SetListenPorts(port1, port2);
            return true;
        });
}

bool VessimarEngine::SetTorrentFolder(uFile folder)
{
    return Guarded(
        [&]
        {
            m_session.SetTorrentFolder(Path(folder));
            return true;
        });
}

bool VessimarEngine::SetUploadRateLimit(int bytesPerSecond)
{
    return Guarded(
        [&]
        {
            m_session.SetUploadRateLimit(bytesPerSecond);
            return true;
        });
}

bool VessimarEngine::SetDownloadRateLimit(int bytesPerSecond)
{
    return Guarded(
        [&]
        {
            m_session.SetDownloadRateLimit(bytesPerSecond);
            return true;
        });
}

bool VessimarEngine::SetMaxUploads(int uploads)
{
    return Guarded(
        [&]
        {
            m_session.SetMaxUploads(uploads);
            return true;
        });
}

bool VessimarEngine::SetMaxConnections(int connections)
{
    return Guarded(
        [&]
        {
            m_session.SetMaxConnections(connections);
            return true;
        });
}

bool VessimarEngine::SetProxy(uString host, int port, uString user, uString password)
{
    return Guarded(
        [&]
        {
            m_session.SetProxy(Text(host), port, Text(user), Text(password));
            return true;
        });
}

bool VessimarEngine::GetStatusByName(uString name, CTorrentStatus& status)
{
    return Guarded(
        [&]
        {
            Status figures;
            return m_session.GetStatusByName(Text(name), figures) && Copy(figures, status);
        });
}

bool VessimarEngine::GetStatusByFile(uFile torrentFile, CTorrentStatus& status)
{
    return Guarded(
        [&]
        {
            Status figures;
            return m_session.GetStatusByFile(Path(torrentFile), figures) && Copy(figures, status);
        });
}

bool VessimarEngine::ListTorrents(std::vector<CTorrentStatus>& torrents)
{
    return Guarded(
        [&]
        {
            std::vector<Status> all;
            return m_session.ListTorrents(all) && CopyList(all, torrents);
        });
}

bool VessimarEngine::GetDataName(uFile torrentFile, uString& dataName)
{
    return Guarded(
        [&]
        {
            std::string name;
            return m_session.GetDataName(Path(torrentFile), name) && Assign(dataName, name);
        });
}

bool VessimarEngine::GetFiles(uString name, std::vector<TorrentFileEntry>& files)
{
    return Guarded(
        [&]
        {
            std::vector<FileEntry> list;
            return m_session.GetFiles(Text(name), list) && CopyList(list, files);
        });
}

bool VessimarEngine::GetFilesByFile(uFile torrentFile, std::vector<TorrentFileEntry>& files)
{
    return Guarded(
        [&]
        {
            std::vector<FileEntry> list;
            return m_session.GetFilesByFile(Path(torrentFile), list) && CopyList(list, files);
        });
}

bool VessimarEngine::GetTrackers(uString name, std::vector<TorrentTrackerEntry>& trackers)
{
    return Guarded(
        [&]
        {
            std::vector<TrackerEntry> list;
            return m_session.GetTrackers(Text(name), list) && CopyList(list, trackers);
        });
}

bool VessimarEngine::GetPeers(uString name, std::vector<TorrentPeerEntry>& peers)
{
    return Guarded(
        [&]
        {
            std::vector<PeerEntry> list;
            return m_session.GetPeers(Text(name), list) && CopyList(list, peers);
        });
}

bool VessimarEngine::TestTorrentFile(uFile torrentFile)
{
    return Guarded([&] { return m_session.TestTorrentFile(Path(torrentFile)); });
}

bool VessimarEngine::AddTorrent(uFile torrentFile)
{
    return Guarded([&] { return m_session.AddTorrent(Path(torrentFile)); });
}

bool VessimarEngine::RemoveTorrent(uString name)
{
    return Guarded([&] { return m_session.RemoveTorrent(Text(name)); });
}

bool VessimarEngine::RemoveTorrentByFile(uFile torrentFile)
{
    return Guarded([&] { return m_session.RemoveTorrentByFile(Path(torrentFile)); });
}

bool VessimarEngine::ResumeTorrent(uString name)
{
    return Guarded([&] { return m_session.ResumeTorrent(Text(name)); });
}

bool VessimarEngine::PauseTorrent(uString name)
{
    return Guarded([&] { return m_session.PauseTorrent(Text(name)); });
}

bool VessimarEngine::PauseTorrentByFile(uFile torrentFile)
{
    return Guarded([&] { return m_session.PauseTorrentByFile(Path(torrentFile)); });
}

bool VessimarEngine::ReadTorrentName(uFile torrentFile, uString& name)
{
    return Guarded(
        [&]
        {
            std::string key;
            return m_session.ReadTorrentName(Path(torrentFile), key) && Assign(name, key);
        });
}

} // namespace vessimar

// The plug-in's only export. Null when libtorrent cannot build a session.
extern "C" __attribute__((visibility("default"))) CTorrentEngine* Initialize(int nListenPortNumber1,
                                                                             int nListenPortNumber2)
{
    try
    {
        return new vessimar::VessimarEngine(nListenPortNumber1, nListenPortNumber2);
    }
    catch (...)
    {
        return nullptr;
    }
}

// Checked at build time: the export matches what the program looks up.
static_assert(std::is_same_v<decltype(&Initialize), CTorrentEngine::InitializeFunction>);
