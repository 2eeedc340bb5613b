#include "feeds/DocumentsFolder.h"
#include "feeds/Preference.h"
#include "foundation/uDirectory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{

// Folders holding what other users must not read (settings with passwords,
// cookie files) are made 0700. An existing folder keeps its mode.
bool makePrivateDirectory(const uFile& folder)
{
    const char* path = folder.getPath().c_str();
    if (::mkdir(path, 0700) == 0 || errno == EEXIST)
        return folder.isDirectory();
    if (errno != ENOENT)
        return false;
    uString parent;
    if (!folder.getDirectory(parent))
        return false;
    uFile(parent.c_str()).ensureDirectory();
    return (::mkdir(path, 0700) == 0 || errno == EEXIST) && folder.isDirectory();
}

// A folder of ours left open to others from an earlier version or by hand is
// closed again: it holds passwords and cookies. Never through a link, and
// never a folder another user owns.
void tightenFolder(const uFile& folder)
{
    struct stat info = {};
    const char* path = folder.getPath().c_str();
    if (::lstat(path, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & 077) != 0)
        ::chmod(path, 0700);
}

// A feed downloaded into the temp folder: 32 lower-case hex digits, then
// ".N" when the name was taken.
bool isFetchTarget(const std::string& name)
{
    if (name.size() < 32)
        return false;
    for (std::size_t i = 0; i < 32; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])) ||
            std::isupper(static_cast<unsigned char>(name[i])))
            return false;
    std::size_t i = 32;
    if (i < name.size() && name[i] == '.' && i + 1 < name.size() &&
        std::isdigit(static_cast<unsigned char>(name[i + 1])))
    {
        ++i;
        while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])))
            ++i;
    }
    return i == name.size();
}

// Names left by killed fetches: the feed's file, or the temporary file of
// its replacing write. Folders in the temp folder belong to the downloads
// and stay.
bool isFetchName(const std::string& name)
{
    return isFetchTarget(name) || isFetchTarget(ReplacementTempTarget(name));
}

// A cookie file's temporary file: the cookie files are named after their
// sites, so only the ending is known.
bool isCookieTemp(const std::string& name)
{
    constexpr std::string_view kEnding = ".cookie";
    const std::string target = ReplacementTempTarget(name);
    return target.size() > kEnding.size() &&
           target.compare(target.size() - kEnding.size(), kEnding.size(), kEnding) == 0;
}

// A saved page's own name: the MD5 hex of its link, then ".html".
bool isPageName(const std::string& name)
{
    constexpr std::size_t kDigits = 32;
    return name.size() == kDigits + 5 && name.compare(kDigits, 5, ".html") == 0 &&
           std::all_of(name.begin(), name.begin() + kDigits,
                       [](unsigned char c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); });
}

// What a page save cut short leaves beside the page: its download
// (".part") or the temporary file of its rewrite.
bool isPageSaveLeftover(const std::string& name)
{
    constexpr std::size_t kPage = 32 + 5;
    if (name.size() == kPage + 5 && name.compare(kPage, 5, ".part") == 0)
        return isPageName(name.substr(0, kPage));
    return isPageName(ReplacementTempTarget(name));
}

// Page saves write into one folder per channel below the archive.
int removePageSaveLeftovers(const uFile& archive)
{
    int removed = 0;
    std::error_code error;
    if (archive.getPath().isEmpty())
        return 0;
    for (fs::directory_iterator entry(archive.getPath().c_str(), error), end; !error && entry != end;
         entry.increment(error))
    {
        // Never through a link: the archive is the user's to arrange.
        if (entry->symlink_status(error).type() == fs::file_type::directory)
            removed += RemoveFilesNamed(entry->path().c_str(), isPageSaveLeftover);
    }
    return removed;
}

// The temporary sibling of one of the named files.
std::function<bool(const std::string&)> replacementOf(std::initializer_list<const char*> targets)
{
    std::vector<std::string> names(targets.begin(), targets.end());
    return [names](const std::string& name)
    {
        return std::any_of(names.begin(), names.end(),
                           [&](const std::string& target) { return IsReplacementTemp(name, target); });
    };
}

// base + name; the base is never empty here.
uFile below(const uFile& base, const char* name)
{
    uFile folder(base);
    folder.append(name);
    return folder;
}

// Creates the folder when nothing exists at its path; true when something
// exists there afterwards.
bool createWhenAbsent(const uFile& folder)
{
    if (!folder.exists())
        folder.ensureDirectory();
    return folder.exists();
}

// A copy of a folder member, created again when it has gone missing. Empty
// paths are handed out as they are: creating "" would mean the working folder.
uFile ensuredCopy(std::mutex& lock, const uFile& member, bool privateFolder = false)
{
    uFile copy;
    {
        std::lock_guard hold(lock);
        copy = member;
    }
    if (!copy.getPath().isEmpty() && !copy.exists())
    {
        if (privateFolder)
            makePrivateDirectory(copy);
        else
            copy.ensureDirectory();
    }
    return copy;
}

} // namespace

void CPreference::BuildFolders()
{
    uString documents;
    if (!feeds::GetDocumentsDirectory(documents))
    {
        m_lastError = "Can't get user's document directory.";
        return;
    }
    uFile data(documents.c_str());
    if (!data.isDirectory())
    {
        m_lastError = "User's document directory does not exist.";
        return;
    }
    data.append("Kestrova");
    if (!data.isDirectory() && !makePrivateDirectory(data))
        m_lastError = "Can't create Kestrova data directory.";
    if (!data.isDirectory())
        return;
    data.makeAbsolute();
    tightenFolder(data);
    m_dataDir = data;
    m_dataFolderReady = true;

    m_tempDir = below(data, "temp");
    if (!createWhenAbsent(m_tempDir))
        m_lastError = "Can't create Kestrova temp directory.";
    m_iconsDir = below(data, "icons");
    if (!createWhenAbsent(m_iconsDir))
        m_lastError = "Can't create Kestrova icons directory.";
    m_libraryDir = below(data, "library");
    if (!createWhenAbsent(m_libraryDir))
        m_lastError = "Can't create Kestrova library directory.";

    if (m_libraryDir.exists())
    {
        EnsureMediaDirLocked(m_musicDir, "My Music");
        EnsureMediaDirLocked(m_movieDir, "My Movie");
        EnsureMediaDirLocked(m_downloadDir, "My Download");
        m_archiveDir = below(m_libraryDir, "My Archive");
        if (!m_archiveDir.isDirectory())
            m_archiveDir.ensureDirectory();
        m_defaultLibraryDir = m_libraryDir;
    }

    m_subscriptionDir = below(data, "subscription");
    m_subscriptionTreeFile = below(m_subscriptionDir, "config.xml");
    SeedSubscriptionFolder();

    m_cacheDir = below(data, "cache");
    if (!m_cacheDir.isDirectory())
        makePrivateDirectory(m_cacheDir);
    tightenFolder(m_cacheDir);
    m_torrentDir = below(data, "torrent");
    if (!m_torrentDir.isDirectory())
        m_torrentDir.ensureDirectory();
}

void CPreference::SeedSubscriptionFolder()
{
    if (m_programDir.isEmpty())
        return;
    const uFile seeds(m_programDir.c_str(), "subscription");
    const bool hadTree = m_subscriptionTreeFile.exists();
    if (!m_subscriptionDir.exists() && IsDirectory(m_programDir.c_str()))
        CopyDirectory(seeds.getPath().c_str(), m_subscriptionDir.getPath().c_str());
    // Files the user deleted come back; files that exist are never replaced.
    for (const char* name : {"config.xml", "directory.xml"})
    {
        const uFile target = below(m_subscriptionDir, name);
        if (!target.exists())
            CopyFile(below(seeds, name).getPath().c_str(), target.getPath().c_str(), uFile::kCopyUnlessNewer);
    }
    m_subscriptionTreeSeeded = !hadTree && m_subscriptionTreeFile.exists();
}

void CPreference::EnsureMediaDirLocked(uFile& member, const char* name)
{
    if (m_libraryDir.getPath().isEmpty() || !m_libraryDir.exists())
        return;
    member = below(m_libraryDir, name);
    if (!createWhenAbsent(member))
        member = m_libraryDir;
}

void CPreference::EnsureDownloadDir()
{
    std::lock_guard hold(m_lock);
    EnsureMediaDirLocked(m_downloadDir, "My Download");
}

void CPreference::EnsureMusicDir()
{
    std::lock_guard hold(m_lock);
    EnsureMediaDirLocked(m_musicDir, "My Music");
}

void CPreference::EnsureMovieDir()
{
    std::lock_guard hold(m_lock);
    EnsureMediaDirLocked(m_movieDir, "My Movie");
}

void CPreference::SetLibraryDir(const uFile& folder)
{
    std::lock_guard hold(m_lock);
    m_libraryDir = folder;
}

int CPreference::RemoveLeftoverTempFiles() const
{
    if (!m_dataFolderReady)
        return 0;
    uFile temp, data, subscription, cache, archive;
    {
        std::lock_guard hold(m_lock);
        temp = m_tempDir;
        data = m_dataDir;
        subscription = m_subscriptionDir;
        cache = m_cacheDir;
        archive = m_archiveDir;
    }
    // Only the files written by replacement here: a file of the user's
    // that merely looks alike stays.
    return RemoveFilesNamed(temp.getPath().c_str(), isFetchName) +
           RemoveFilesNamed(data.getPath().c_str(), replacementOf({"config.xml", "auth.xml"})) +
           RemoveFilesNamed(subscription.getPath().c_str(), replacementOf({"config.xml", "directory.xml"})) +
           RemoveFilesNamed(cache.getPath().c_str(), isCookieTemp) + removePageSaveLeftovers(archive);
}

uFile CPreference::GetTempDir() const
{
    return ensuredCopy(m_lock, m_tempDir);
}

uFile CPreference::GetIconsDir() const
{
    return ensuredCopy(m_lock, m_iconsDir);
}

uFile CPreference::GetCacheDir() const
{
    return ensuredCopy(m_lock, m_cacheDir, /*privateFolder=*/true);
}

uFile CPreference::GetTorrentDir() const
{
    return ensuredCopy(m_lock, m_torrentDir);
}

uFile CPreference::GetLibraryDir() const
{
    return ensuredCopy(m_lock, m_libraryDir);
}

uFile CPreference::GetDefaultLibraryDir() const
{
    return ensuredCopy(m_lock, m_defaultLibraryDir);
}

uFile CPreference::GetArchiveDir() const
{
    return ensuredCopy(m_lock, m_archiveDir);
}

uFile CPreference::GetDownloadDir() const
{
    return ensuredCopy(m_lock, m_downloadDir);
}

uFile CPreference::GetMusicDir() const
{
    return ensuredCopy(m_lock, m_musicDir);
}

uFile CPreference::GetMovieDir() const
{
    return ensuredCopy(m_lock, m_movieDir);
}

uFile CPreference::GetDataDir() const
{
    std::lock_guard hold(m_lock);
    return m_dataDir;
}

uFile CPreference::GetSubscriptionDir() const
{
    std::lock_guard hold(m_lock);
    return m_subscriptionDir;
}

uFile CPreference::GetSubscriptionTreeFile() const
{
    std::lock_guard hold(m_lock);
    return m_subscriptionTreeFile;
}

bool CPreference::IsSubscriptionTreeSeeded() const
{
    std::lock_guard hold(m_lock);
    return m_subscriptionTreeSeeded;
}

uFile CPreference::GetDownloadLogFile() const
{
    std::lock_guard hold(m_lock);
    return m_downloadLog;
}
