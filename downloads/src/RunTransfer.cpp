// One step of a queue entry's life, run by a transfer task.
#include "LibraryFiling.h"
#include "downloads/DownloadManager.h"
#include "feeds/MediaTypes.h"

namespace
{

constexpr int kMaxRetries = 24;

const uFile& MediaFolderFor(const CDownloadSettings& settings, int media)
{
    if (media == CTransferItem::kMediaAudio)
        return settings.musicDir;
    if (media == CTransferItem::kMediaVideo)
        return settings.movieDir;
    return settings.downloadDir;
}

// "<media folder>/<channel folder>/" made sure of; false when it cannot be made.
bool ChannelFolder(const uFile& mediaFolder, const uString& label, uFile& folder, uString& relative)
{
    mediaFolder.ensureDirectory();
    const uString channel = SafeFileName(label);
    folder = mediaFolder;
    folder.append(channel.c_str());
    folder.ensureDirectory();
    relative = library::FolderName(mediaFolder) + "/" + channel + "/";
    return folder.isDirectory();
}

void RemoveTorrentFile(const CTransferItem& record)
{
    uFile torrentFile(record.localfile);
    torrentFile.remove();
}

} // namespace

CTransferContext CDownloadManager::MakeContext(const CDownloadSettings& settings,
                                               const CDownloadTask* task) const
{
    CTransferContext context;
    context.tempDir = settings.tempDir;
    context.torrentDir = settings.torrentDir;
    context.abortFlag = task ? task->GetAbortFlag() : nullptr;
    return context;
}

bool CDownloadManager::RunTransfer(CTransferItem& record, bool& changed, const CDownloadTask* task)
{
    changed = false;
    if (!HasEnoughFreeSpace(0))
        return false;
    const CDownloadSettings settings = m_environment.GetSettings();
    bool ok = false;

    if (record.status == CTransferItem::kFailed)
    {
        if (record.retry < kMaxRetries)
        {
            const int retry = record.retry + 1;
            Update(record, task,
                   [retry](CTransferItem& target)
                   {
                       target.retry = retry;
                       target.status = CTransferItem::kQueued;
                   });
        }
        changed = true;
    }

    if (record.status == CTransferItem::kNew || record.status == CTransferItem::kQueued)
    {
        Update(record, task, [](CTransferItem& target) { target.status = CTransferItem::kDownloading; });
        const CTransferContext context = MakeContext(settings, task);
        if (record.Prepare(context))
        {
            const uFile localfile(record.localfile);
            const uint64_t length = record.length;
            Update(record, task,
                   [&localfile, length](CTransferItem& target)
                   {
                       target.localfile = localfile;
                       target.length = length;
                   });
            ok = record.Start(context);
        }
        const int result = record.status;
        Update(record, task, [result](CTransferItem& target) { target.status = result; });
        changed = true;
    }

    // A stopped or cancelled transfer goes no further: nothing is filed or
    // handed to the engine on its behalf.
    if (task && task->IsAborted())
        return false;

    if (record.type == CTransferItem::kTypeTorrent && record.status == CTransferItem::kDownloading &&
        m_engine && record.localfile.isFile())
        CollectTorrent(record, changed, ok, task);
    else if (record.status == CTransferItem::kDownloaded && record.type == CTransferItem::kTypeTorrent)
        HandOverTorrent(record, changed, ok, task);
    else if (record.status == CTransferItem::kDownloaded && record.type == CTransferItem::kTypePlain)
        FilePlainDownload(record, changed, ok, task);
    return ok;
}

void CDownloadManager::HandOverTorrent(CTransferItem& record, bool& changed, bool& ok,
                                       const CDownloadTask* task)
{
    changed = true;
    if (m_engine)
    {
        int status = CTransferItem::kDownloading;
        if (!m_engine->AddTorrent(record.localfile))
        {
            status = m_engine->WasDuplicate() ? CTransferItem::kDuplicated : CTransferItem::kFailed;
            RemoveTorrentFile(record);
        }
        Update(record, task, [status](CTransferItem& target) { target.status = status; });
        return;
    }
    // Without an engine the .torrent file itself is the download.
    const CDownloadSettings settings = m_environment.GetSettings();
    const uString relative = library::FolderName(settings.torrentDir) + "/" + record.localfile.getFileName();
    m_environment.SetEnclosureFile(record.ds, record.item, relative,
                                   static_cast<uint64_t>(record.localfile.getSize()), nullptr);
    Update(record, task, [](CTransferItem& target) { target.status = CTransferItem::kComplete; });
    ok = true;
}

void CDownloadManager::CollectTorrent(CTransferItem& record, bool& changed, bool& ok,
                                      const CDownloadTask* task)
{
    CTorrentStatus status;
    if (!m_engine->GetStatusByFile(record.localfile, status))
    {
        // Unknown to the engine (a restart, or a filing that failed earlier):
        // hand it over again; the engine checks the data it already has.
        if (m_engine->AddTorrent(record.localfile))
            return;
        const int result = m_engine->WasDuplicate() ? CTransferItem::kDuplicated : CTransferItem::kFailed;
        RemoveTorrentFile(record);
        Update(record, task, [result](CTransferItem& target) { target.status = result; });
        changed = true;
        return;
    }
    if (!status.finished)
        return;
    std::vector<TorrentFileEntry> files;
    if (!m_engine->GetFiles(status.name, files) || files.empty() || !m_engine->RemoveTorrent(status.name))
        return;

    const CDownloadSettings settings = m_environment.GetSettings();
    const bool single = files.size() == 1;
    const uString& firstPath = files.front().path;
    const uFile* mediaFolder = &settings.downloadDir;
    if (single && IsMediaFileName(firstPath))
        mediaFolder = IsAudioFileName(firstPath) ? &settings.musicDir : &settings.movieDir;

    // One file: the file itself; several: the torrent's top folder.
    uString sourceName;
    uString name;
    const int slash = firstPath.findChar('/');
    if (single)
    {
        sourceName = firstPath;
        name = uString(uFile(firstPath.c_str()).getFileName());
    }
    else
    {
        sourceName = slash > 0 ? uString(firstPath.c_str(), 0, slash) : firstPath;
        name = sourceName;
    }
    if (name.isEmpty() || name == uString(".") || name == uString(".."))
        return;

    uFile folder;
    uString relative;
    if (!ChannelFolder(*mediaFolder, record.label, folder, relative))
        return;
    uFile source(settings.torrentDir);
    source.append(sourceName.c_str());
    // Another torrent of this channel may have filed something under the same
    // name: keep it, and file this one under the first free "name (n)".
    name = library::FreeNameIn(folder, name);
    if (name.isEmpty())
        return;
    uFile target(folder);
    target.append(name.c_str());
    // A failed move keeps the state and the .torrent: the next pass hands the
    // torrent over again and the filing is retried.
    if (!library::MovePath(source, target))
        return;

    uString type = single ? GetMimeTypeFromExtension(name) : uString();
    if (type.isEmpty())
        type = "application/octet-stream";
    m_environment.SetEnclosureFile(record.ds, record.item, relative + name, status.total, type.c_str());
    RemoveTorrentFile(record);
    Update(record, task,
           [&target](CTransferItem& entry)
           {
               entry.status = CTransferItem::kComplete;
               entry.localfile = target;
           });
    ok = true;
    changed = true;
}

void CDownloadManager::FilePlainDownload(CTransferItem& record, bool& changed, bool& ok,
                                         const CDownloadTask* task)
{
    if (!record.localfile.isFile())
    {
        // The download is gone: waiting would keep the entry Downloaded for ever.
        Update(record, task, [](CTransferItem& target) { target.status = CTransferItem::kFailed; });
        changed = true;
        return;
    }
    const CDownloadSettings settings = m_environment.GetSettings();
    uFile folder;
    uString relative;
    if (!ChannelFolder(MediaFolderFor(settings, record.file), record.label, folder, relative))
        return;

    const uFile downloaded(record.localfile);
    uFile target(folder);
    target.append(downloaded.getFileName());
    if (!target.exists())
    {
        if (!library::MovePath(downloaded, target))
            return;
    }
    else
    {
        const uString newDigest = library::FileMd5(downloaded);
        if (newDigest.isEmpty())
            return;
        if (target.isFile() && library::FileMd5(target) == newDigest)
        {
            // The same file is there already: it stands for this download.
            uFile(downloaded).remove();
        }
        else
        {
            target = library::DedupeTarget(target, newDigest);
            // A file of other content under that name too is another item's
            // (a feed may name its enclosure so): it stays, and this one goes
            // under the first free name beside it, unless a copy of it was
            // filed under one of those names before.
            bool same = false;
            const uString name =
                library::NameForContent(folder, target.getFileName(), downloaded, newDigest, same);
            if (name.isEmpty())
                return;
            target = folder;
            target.append(name.c_str());
            if (same)
                uFile(downloaded).remove();
            else if (!library::MovePath(downloaded, target))
                return;
        }
    }
    library::RemoveRecordFolder(record, settings.tempDir);

    m_environment.SetEnclosureFile(record.ds, record.item, relative + target.getFileName(),
                                   static_cast<uint64_t>(target.getSize()), nullptr);
    Update(record, task,
           [&target](CTransferItem& entry)
           {
               entry.status = CTransferItem::kComplete;
               entry.localfile = target;
           });
    ok = true;
    changed = true;
}
