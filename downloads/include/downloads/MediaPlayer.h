#pragma once

#include "feeds/DownloadQueue.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <list>
#include <memory>

// The hand-off of downloaded media to a player: the play-podcasts command
// makes one player, adds the existing media files, makes the player show them
// and deletes it again. User-interface thread only.
class CMediaPlayer
{
public:
    virtual ~CMediaPlayer() = default;
    // Makes the player show the prepared playlist.
    virtual bool Launch() = 0;
    // Writes the playlist to a file.
    virtual bool Save(const uFile& target) = 0;
    virtual void AddFile(const uString& path) = 0;
    virtual void RemoveFile(const uString& path) = 0;
    virtual bool Contains(const uString& path) const = 0;
    virtual const uString& SetName(const uString& name) = 0;
    virtual const uString& SetVendor(const uString& vendor) = 0;
};

// An M3U playlist file, which the desktop's player for .m3u files plays.
class CM3UPlayer : public CMediaPlayer
{
public:
    // The playlist the play-podcasts command saves in the library folder.
    static constexpr const char* kPlaylistName = "Kestrova.m3u";

    CM3UPlayer();
    // Removes the temporary files that saves of the playlist cut short by a
    // kill left in `libraryDir` (the marked form of ReplacementTempPrefix
    // alone: the folder may be the user's own); the playlist itself stays.
    // At start, while no other instance runs. Returns the count.
    static int RemoveSaveLeftovers(const uFile& libraryDir);
    // Nothing to start: the caller opens the saved file.
    bool Launch() override { return false; }
    // "#EXTM3U" and then each path's UTF-8 bytes, every line ending in CR LF
    // (a path holding CR or LF is left out: it cannot be one line);
    // an existing file is replaced whole (temporary file and rename), so a
    // failed write leaves the old playlist. False when nothing was written: the
    // caller must not open a playlist that is not there.
    bool Save(const uFile& target) override;
    // Appends unless an entry is equal byte for byte.
    void AddFile(const uString& path) override;
    // Removes the first equal entry.
    void RemoveFile(const uString& path) override;
    bool Contains(const uString& path) const override;
    const uString& SetName(const uString& name) override { return m_name = name; }
    const uString& SetVendor(const uString& vendor) override { return m_vendor = vendor; }

    const uString& GetName() const { return m_name; }
    const uString& GetVendor() const { return m_vendor; }
    const std::list<uString>& GetFiles() const { return m_files; }

private:
    uString m_name;
    uString m_vendor;
    std::list<uString> m_files;
};

// The two automation players keep their place and names, but neither player
// exists on this system: connecting finds nothing, so they stay "not
// connected" and every operation that needs the connection does nothing.
class CAutomationPlayer : public CMediaPlayer
{
public:
    bool Launch() override { return false; }
    bool Save(const uFile&) override { return false; }
    void AddFile(const uString&) override {}
    void RemoveFile(const uString&) override {}
    bool Contains(const uString&) const override { return false; }
    const uString& SetName(const uString& name) override { return m_name = name; }
    const uString& SetVendor(const uString& vendor) override { return m_vendor = vendor; }

    bool IsConnected() const { return m_connected; }
    const uString& GetName() const { return m_name; }
    const uString& GetVendor() const { return m_vendor; }
    const uString& GetLastError() const { return m_lastError; }

protected:
    explicit CAutomationPlayer(const char* vendor);
    // Looks for the player's automation object; always absent here.
    void Connect();
    void Disconnect() { m_connected = false; }

private:
    uString m_name;
    uString m_vendor;
    uString m_lastError;
    bool m_connected = false;
};

class CiTunesPlayer : public CAutomationPlayer
{
public:
    CiTunesPlayer();
    ~CiTunesPlayer() override { Disconnect(); }
};

class CWMPPlayer : public CAutomationPlayer
{
public:
    CWMPPlayer();
    ~CWMPPlayer() override { Disconnect(); }
};

// "microsoft", "m3u" or "apple", in any letter case; null for any other name.
std::unique_ptr<CMediaPlayer> CreateMediaPlayer(const uString& kind);
// IsITunesInstalled lives with the download queue's interface
// (feeds/DownloadQueue.h): the configuration, below us, asks it too.
