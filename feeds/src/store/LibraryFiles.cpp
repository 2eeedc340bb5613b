#include "feeds/LibraryFiles.h"

#include "feeds/Preference.h"
#include "foundation/uDirectory.h"
#include "foundation/uHash.h"

#include <climits>
#include <filesystem>
#include <system_error>

namespace feeds
{

namespace fs = std::filesystem;

int64_t LeadingInteger(const uString& text)
{
    int64_t value = 0;
    for (const char* p = text.c_str(); *p >= '0' && *p <= '9'; ++p)
    {
        if (value > (INT64_MAX - 9) / 10)
            return INT64_MAX;
        value = value * 10 + (*p - '0');
    }
    return value;
}

int LeadingInt(const uString& text)
{
    const int64_t value = LeadingInteger(text);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

uString Md5Hex(const uString& text)
{
    uMD5 digest(0);
    digest.update(reinterpret_cast<const unsigned char*>(text.c_str()), 0, text.getLength());
    digest.final();
    uString hex;
    digest.getHexDigest(hex);
    return hex;
}

uFile ArchivePageFile(const uFile& archiveDir, const uString& channelTitle, const uString& link)
{
    uString folder = SafeFileName(channelTitle);
    // Titles were not cut before: a folder made then under the whole title
    // (within the file system's limit) still holds the channel's pages.
    uString whole(channelTitle);
    MakeValidFileName(whole);
    if (whole != folder && uFile(archiveDir.getPath().c_str(), whole.c_str()).isDirectory())
        folder = whole;
    return uFile(archiveDir.getPath().c_str(), folder.c_str(), (Md5Hex(link) + ".html").c_str());
}

bool ResolveInside(const uFile& root, const uString& localFile, uString& path)
{
    if (root.getPath().isEmpty() || localFile.isEmpty())
        return false;
    std::error_code error;
    const fs::path base = fs::canonical(root.getPath().c_str(), error);
    if (error)
        return false;
    fs::path candidate(localFile.c_str());
    if (candidate.is_relative())
        candidate = base / candidate;
    candidate = candidate.lexically_normal();
    if (!candidate.has_filename())
        candidate = candidate.parent_path();
    // The last component itself is not resolved: a symbolic link there is
    // the entry to look at or delete, not its target.
    const fs::path parent = fs::canonical(candidate.parent_path(), error);
    if (error)
        return false;
    const fs::path resolved = parent / candidate.filename();
    const fs::path relative = resolved.lexically_relative(base);
    if (relative.empty() || relative == "." || *relative.begin() == "..")
        return false;
    path = resolved.c_str();
    return true;
}

namespace
{

bool ExistsUnder(const uFile& root, const uString& localFile)
{
    uString path;
    std::error_code error;
    return ResolveInside(root, localFile, path) && fs::exists(fs::symlink_status(path.c_str(), error));
}

bool DeleteUnder(const uFile& root, const uString& localFile, uString& deleted)
{
    uString path;
    if (!ResolveInside(root, localFile, path))
        return false;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path.c_str(), error);
    if (error || !fs::exists(status))
        return false;
    if (fs::is_directory(status))
        RemoveDirectoryTree(path.c_str());
    else
        fs::remove(path.c_str(), error);
    deleted = path;
    return !fs::exists(fs::symlink_status(path.c_str(), error));
}

} // namespace

bool LibraryFileExists(const uString& localFile)
{
    CPreference* preference = CPreference::GetInstance();
    return ExistsUnder(preference->GetLibraryDir(), localFile) ||
           ExistsUnder(preference->GetDefaultLibraryDir(), localFile);
}

bool DeleteLibraryFile(const uString& localFile, uString& deleted)
{
    CPreference* preference = CPreference::GetInstance();
    return DeleteUnder(preference->GetLibraryDir(), localFile, deleted) ||
           DeleteUnder(preference->GetDefaultLibraryDir(), localFile, deleted);
}

} // namespace feeds
