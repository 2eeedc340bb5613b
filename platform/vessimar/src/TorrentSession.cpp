#include "TorrentSession.h"

#include "SessionSettings.h"
#include "StatusFigures.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/announce_entry.hpp>
#include <libtorrent/error_code.hpp>
#include <libtorrent/session_params.hpp>
#include <thread>

namespace lt = libtorrent;

namespace vessimar
{

namespace
{

// Callers move or delete a torrent's data right after removing it, so removal
// waits, within this bound, until libtorrent has let go of the torrent.
constexpr auto kRemovalWait = std::chrono::seconds(5);
constexpr auto kRemovalPoll = std::chrono::milliseconds(5);

// The refusal of the calling thread's last AddTorrent. Per thread, because the
// window thread and transfer threads add torrents at the same time, and each
// asks about its own refusal.
struct LastAdd
{
    const TorrentSession* session = nullptr;
    bool duplicate = false;
};
thread_local LastAdd t_lastAdd;

} // namespace

TorrentSession::TorrentSession(int port1, int port2)
    : m_session(lt::session_params(InitialSettings(port1, port2)))
{
}

TorrentSession::~TorrentSession()
{
    if (t_lastAdd.session == this)
        t_lastAdd = LastAdd{};
}

bool TorrentSession::WasDuplicate() const
{
    return t_lastAdd.session == this && t_lastAdd.duplicate;
}

void TorrentSession::Apply(const lt::settings_pack& pack)
{
    m_session.apply_settings(pack);
}

void TorrentSession::SetListenPorts(int port1, int port2)
{
    Apply(ListenSettings(port1, port2));
}

void TorrentSession::SetTorrentFolder(const std::string& path)
{
    std::lock_guard<std::mutex> lock(m_folderMutex);
    m_folder = path;
}

std::string TorrentSession::TorrentFolder() const
{
    std::lock_guard<std::mutex> lock(m_folderMutex);
    return m_folder;
}

void TorrentSession::SetUploadRateLimit(int bytesPerSecond)
{
    Apply(UploadRateSettings(bytesPerSecond));
}

void TorrentSession::SetDownloadRateLimit(int bytesPerSecond)
{
    Apply(DownloadRateSettings(bytesPerSecond));
}

void TorrentSession::SetMaxUploads(int slots)
{
    Apply(UploadSlotSettings(slots));
}

void TorrentSession::SetMaxConnections(int connections)
{
    Apply(ConnectionSettings(connections));
}

void TorrentSession::SetProxy(const std::string& host, int port, const std::string& user,
                              const std::string& password)
{
    Apply(ProxySettings(host, port, user, password));
}

lt::torrent_handle TorrentSession::FindByName(const std::string& name) const
{
    lt::sha1_hash hash;
    if (!ParseTorrentKey(name, hash))
        return {};
    return m_session.find_torrent(hash);
}

lt::torrent_handle TorrentSession::FindByFile(const std::string& path)
{
    auto info = m_files.Load(path);
    if (!info)
        return {};
    lt::sha1_hash hash;
    ParseTorrentKey(TorrentKey(*info), hash);
    return m_session.find_torrent(hash);
}

bool TorrentSession::GetStatusByName(const std::string& name, Status& out) const
{
    lt::torrent_handle handle = FindByName(name);
    if (!handle.is_valid())
        return false;
    out = MakeStatus(handle.status(StatusQueryFlags()));
    return true;
}

bool TorrentSession::GetStatusByFile(const std::string& path, Status& out)
{
    lt::torrent_handle handle = FindByFile(path);
    if (!handle.is_valid())
        return false;
    out = MakeStatus(handle.status(StatusQueryFlags()));
    return true;
}

bool TorrentSession::ListTorrents(std::vector<Status>& out) const
{
    std::vector<lt::torrent_status> all =
        m_session.get_torrent_status([](const lt::torrent_status&) { return true; }, StatusQueryFlags());
    // The session keeps no order; the panel lists torrents in the order they came.
    std::sort(all.begin(), all.end(),
              [](const lt::torrent_status& a, const lt::torrent_status& b)
              {
                  if (a.added_time != b.added_time)
                      return a.added_time < b.added_time;
                  return a.info_hashes < b.info_hashes;
              });
    out.clear();
    for (const lt::torrent_status& status : all)
        out.push_back(MakeStatus(status));
    return true;
}

bool TorrentSession::GetDataName(const std::string& path, std::string& out)
{
    auto info = m_files.Load(path);
    if (!info || info->name().empty())
        return false;
    out = info->name();
    return true;
}

bool TorrentSession::GetFiles(const std::string& name, std::vector<FileEntry>& out) const
{
    lt::torrent_handle handle = FindByName(name);
    if (!handle.is_valid())
        return false;
    auto info = handle.torrent_file();
    if (!info)
        return false; // no metadata yet
    out = MakeFileList(info->files(), handle.file_progress());
    return true;
}

bool TorrentSession::GetFilesByFile(const std::string& path, std::vector<FileEntry>& out)
{
    auto info = m_files.Load(path);
    if (!info)
        return false;
    std::vector<std::int64_t> progress;
    lt::sha1_hash hash;
    ParseTorrentKey(TorrentKey(*info), hash);
    lt::torrent_handle handle = m_session.find_torrent(hash);
    if (handle.is_valid())
        progress = handle.file_progress();
    out = MakeFileList(info->files(), progress);
    return true;
}

bool TorrentSession::GetTrackers(const std::string& name, std::vector<TrackerEntry>& out) const
{
    lt::torrent_handle handle = FindByName(name);
    if (!handle.is_valid())
        return false;
    out.clear();
    for (const lt::announce_entry& tracker : handle.trackers())
        out.push_back(TrackerEntry{tracker.tier, tracker.url});
    return true;
}

bool TorrentSession::GetPeers(const std::string& name, std::vector<PeerEntry>& out) const
{
    lt::torrent_handle handle = FindByName(name);
    if (!handle.is_valid())
        return false;
    std::vector<lt::peer_info> peers;
    handle.get_peer_info(peers);
    out.clear();
    for (const lt::peer_info& peer : peers)
        out.push_back(MakePeer(peer));
    return true;
}

bool TorrentSession::TestTorrentFile(const std::string& path)
{
    return FindByFile(path).is_valid();
}

bool TorrentSession::AddTorrent(const std::string& path)
{
    t_lastAdd = LastAdd{this, false};
    auto info = m_files.Load(path);
    const std::string folder = TorrentFolder();
    // Without a folder libtorrent would write into the working directory.
    if (!info || folder.empty())
        return false;

    // The check and the add are one step: two torrents of one name arriving
    // at once must not both pass.
    std::lock_guard<std::mutex> lock(m_addMutex);
    lt::sha1_hash hash;
    ParseTorrentKey(TorrentKey(*info), hash);
    // The same torrent again is left to libtorrent, which calls it a duplicate.
    if (!m_session.find_torrent(hash).is_valid() && IsDataNameHeld(*info, folder))
        return false;

    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(*info);
    params.save_path = folder;
    params.flags |= lt::torrent_flags::duplicate_is_error;
    params.flags &= ~(lt::torrent_flags::auto_managed | lt::torrent_flags::paused);
    lt::error_code error;
    m_session.add_torrent(std::move(params), error);
    if (error)
    {
        t_lastAdd.duplicate = error == lt::errors::duplicate_torrent;
        return false;
    }
    return true;
}

bool TorrentSession::IsDataNameHeld(const lt::torrent_info& info, const std::string& folder)
{
    const std::string key = TorrentKey(info);
    const std::string& name = info.name();
    const auto others =
        m_session.get_torrent_status([&](const lt::torrent_status& status)
                                     { return status.name == name && TorrentKey(status.info_hashes) != key; },
                                     lt::torrent_handle::query_name);
    if (!others.empty())
        return true;
    // A torrent not running now comes back from its .torrent file in the
    // folder (the panel's, the queue's) to the data it left there.
    std::error_code error;
    for (std::filesystem::directory_iterator entries(folder, error);
         !error && entries != std::filesystem::directory_iterator(); entries.increment(error))
    {
        const std::filesystem::path& path = entries->path();
        if (path.extension() != ".torrent" || !entries->is_regular_file(error))
            continue;
        auto other = m_files.Load(path.string());
        if (other && other->name() == name && TorrentKey(*other) != key)
            return true;
    }
    return false;
}

bool TorrentSession::Remove(const lt::torrent_handle& handle)
{
    if (!handle.is_valid())
        return false;
    m_session.remove_torrent(handle);
    // The handle stays valid while libtorrent's network and disk threads hold
    // the torrent; once it is invalid, no more reads or writes of its files follow.
    const auto deadline = std::chrono::steady_clock::now() + kRemovalWait;
    while (handle.is_valid() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kRemovalPoll);
    return true;
}

bool TorrentSession::RemoveTorrent(const std::string& name)
{
    return Remove(FindByName(name));
}

bool TorrentSession::RemoveTorrentByFile(const std::string& path)
{
    return Remove(FindByFile(path));
}

bool TorrentSession::ResumeTorrent(const std::string& name)
{
    lt::torrent_handle handle = FindByName(name);
    if (!handle.is_valid())
        return false;
    handle.unset_flags(lt::torrent_flags::auto_managed);
    // A torrent stopped by a disk error stays stopped until its error is cleared.
    handle.clear_error();
    handle.resume();
    return true;
}

bool TorrentSession::Pause(const lt::torrent_handle& handle)
{
    if (!handle.is_valid())
        return false;
    handle.unset_flags(lt::torrent_flags::auto_managed);
    handle.pause();
    return true;
}

bool TorrentSession::PauseTorrent(const std::string& name)
{
    return Pause(FindByName(name));
}

bool TorrentSession::PauseTorrentByFile(const std::string& path)
{
    return Pause(FindByFile(path));
}

bool TorrentSession::ReadTorrentName(const std::string& path, std::string& out)
{
    auto info = m_files.Load(path);
    if (!info)
        return false;
    out = TorrentKey(*info);
    return true;
}

} // namespace vessimar
