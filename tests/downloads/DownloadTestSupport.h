#pragma once

#include "downloads/DownloadEnvironment.h"
#include "downloads/DownloadHost.h"
#include "support/TempDir.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace downloadtest
{

// Polls until the condition holds; false when it still does not after a
// generous bound.
bool WaitUntil(const std::function<bool()>& condition);

uString U(const std::string& text);
std::string S(const uString& text);

// What a feed store records for one item.
struct EnclosureRow
{
    std::string localFile;
    uint64_t length = 0;
    std::string type;
};

// Settings and folders under a temporary directory, and the enclosure rows of
// the feed stores kept in memory.
class TestEnvironment : public CDownloadEnvironment
{
public:
    TestEnvironment();

    CDownloadSettings GetSettings() override;
    void SetSchedulerInterval(int minutes) override;
    bool GetEnclosureFile(const uString& ds, const uString& item, uString& file) override;
    void SetEnclosureFile(const uString& ds, const uString& item, const uString& localFile, uint64_t length,
                          const char* type) override;

    // Changes the settings the next GetSettings returns.
    void Change(const std::function<void(CDownloadSettings&)>& change);
    // An enclosure row for the item (as the feed store holds after an update).
    void AddEnclosure(const std::string& ds, const std::string& item, const std::string& localFile = "");
    bool HasRow(const std::string& ds, const std::string& item) const;
    EnclosureRow Row(const std::string& ds, const std::string& item) const;

    const testsupport::TempDir& dir() const { return m_dir; }
    std::string path(const std::string& relative) const { return m_dir.file(relative); }

private:
    testsupport::TempDir m_dir;
    mutable std::mutex m_lock;
    CDownloadSettings m_settings;
    std::map<std::pair<std::string, std::string>, EnclosureRow> m_rows;
};

// Records the status texts and timer calls.
class RecordingHost : public CDownloadHost
{
public:
    struct TimerCall
    {
        int id;
        bool armed;
        uint64_t milliseconds;
    };

    void PostStatusText(const uString& text) override;
    void ArmTimer(int timerId, uint64_t milliseconds) override;
    void KillTimer(int timerId) override;

    std::vector<std::string> Texts() const;
    std::vector<TimerCall> Timers() const;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
    std::vector<TimerCall> m_timers;
};

} // namespace downloadtest
