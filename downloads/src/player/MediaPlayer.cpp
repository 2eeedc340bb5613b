#include "downloads/MediaPlayer.h"

#include "foundation/uDirectory.h"

#include <string>
#include <string_view>

CM3UPlayer::CM3UPlayer() : m_name("Kestrova :: Podcast"), m_vendor("MPEG Version 3.0 URL") {}

int CM3UPlayer::RemoveSaveLeftovers(const uFile& libraryDir)
{
    return RemoveFilesNamed(libraryDir.getPath().c_str(),
                            [](const std::string& name) { return IsReplacementTemp(name, kPlaylistName); });
}

bool CM3UPlayer::Save(const uFile& target)
{
    std::string text = "#EXTM3U\r\n";
    for (const uString& path : m_files)
    {
        // A line break would end the entry early and make the rest a line of
        // its own (an injected directive or file); such a path cannot be
        // written as one entry, so it is left out.
        const std::string_view bytes(path.c_str(), static_cast<std::size_t>(path.getLength()));
        if (bytes.find_first_of("\r\n") != std::string_view::npos)
            continue;
        text.append(path.c_str(), static_cast<std::size_t>(path.getLength()));
        text += "\r\n";
    }
    // A folder or anything else under that name is never replaced.
    if (target.exists() && !target.isFile())
        return false;
    uFile file(target.getPath().c_str());
    return file.replaceContents(text.data(), text.size(), 0644);
}

void CM3UPlayer::AddFile(const uString& path)
{
    if (!Contains(path))
        m_files.push_back(path);
}

void CM3UPlayer::RemoveFile(const uString& path)
{
    for (auto it = m_files.begin(); it != m_files.end(); ++it)
    {
        if (*it == path)
        {
            m_files.erase(it);
            return;
        }
    }
}

bool CM3UPlayer::Contains(const uString& path) const
{
    for (const uString& file : m_files)
    {
        if (file == path)
            return true;
    }
    return false;
}

CAutomationPlayer::CAutomationPlayer(const char* vendor) : m_name("Kestrova"), m_vendor(vendor)
{
    Connect();
}

void CAutomationPlayer::Connect()
{
    // Neither automation object exists on this system: the connection is
    // never made, which every operation above already treats as "do nothing".
    m_connected = false;
    m_lastError = "not connected";
}

CiTunesPlayer::CiTunesPlayer() : CAutomationPlayer("Apple Computer") {}

CWMPPlayer::CWMPPlayer() : CAutomationPlayer("Microsoft Windows Media Player") {}

std::unique_ptr<CMediaPlayer> CreateMediaPlayer(const uString& kind)
{
    if (kind.equalsNoCase("microsoft"))
        return std::make_unique<CWMPPlayer>();
    if (kind.equalsNoCase("m3u"))
        return std::make_unique<CM3UPlayer>();
    if (kind.equalsNoCase("apple"))
        return std::make_unique<CiTunesPlayer>();
    return nullptr;
}
