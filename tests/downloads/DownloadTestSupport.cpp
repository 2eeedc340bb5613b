#include "DownloadTestSupport.h"

#include <chrono>
#include <thread>

namespace downloadtest
{

bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 3000; ++i)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

uString U(const std::string& text)
{
    return uString(text.c_str());
}

std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

TestEnvironment::TestEnvironment()
{
    auto folder = [this](const std::string& name)
    {
        uFile file(m_dir.file(name).c_str());
        file.ensureDirectory();
        return file;
    };
    m_settings.nMaxDownloadingThreads = 2;
    m_settings.nMinFreeSpace = 1;
    m_settings.tempDir = folder("data/temp");
    m_settings.torrentDir = folder("data/torrent");
    m_settings.subscriptionDir = folder("data/subscription");
    m_settings.libraryDir = folder("data/library");
    m_settings.defaultLibraryDir = folder("data/default-library");
    m_settings.downloadDir = folder("data/library/My Download");
    m_settings.musicDir = folder("data/library/My Music");
    m_settings.movieDir = folder("data/library/My Movie");
}

CDownloadSettings TestEnvironment::GetSettings()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_settings;
}

void TestEnvironment::SetSchedulerInterval(int minutes)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_settings.nSchedulerInterval = minutes;
}

bool TestEnvironment::GetEnclosureFile(const uString& ds, const uString& item, uString& file)
{
    std::lock_guard<std::mutex> lock(m_lock);
    file.setEmpty();
    auto it = m_rows.find({S(ds), S(item)});
    if (it == m_rows.end())
        return false;
    file = it->second.localFile.c_str();
    return true;
}

void TestEnvironment::SetEnclosureFile(const uString& ds, const uString& item, const uString& localFile,
                                       uint64_t length, const char* type)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_rows.find({S(ds), S(item)});
    if (it == m_rows.end())
        return; // the store updates existing rows only
    it->second.localFile = S(localFile);
    it->second.length = length;
    if (type && *type)
        it->second.type = type;
}

void TestEnvironment::Change(const std::function<void(CDownloadSettings&)>& change)
{
    std::lock_guard<std::mutex> lock(m_lock);
    change(m_settings);
}

void TestEnvironment::AddEnclosure(const std::string& ds, const std::string& item,
                                   const std::string& localFile)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_rows[{ds, item}] = EnclosureRow{localFile, 0, ""};
}

bool TestEnvironment::HasRow(const std::string& ds, const std::string& item) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_rows.count({ds, item}) != 0;
}

EnclosureRow TestEnvironment::Row(const std::string& ds, const std::string& item) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_rows.find({ds, item});
    return it == m_rows.end() ? EnclosureRow{} : it->second;
}

void RecordingHost::PostStatusText(const uString& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.push_back(S(text));
}

void RecordingHost::ArmTimer(int timerId, uint64_t milliseconds)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_timers.push_back(TimerCall{timerId, true, milliseconds});
}

void RecordingHost::KillTimer(int timerId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_timers.push_back(TimerCall{timerId, false, 0});
}

std::vector<std::string> RecordingHost::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

std::vector<RecordingHost::TimerCall> RecordingHost::Timers() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_timers;
}

} // namespace downloadtest
