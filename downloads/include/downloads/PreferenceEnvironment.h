#pragma once

#include "downloads/DownloadEnvironment.h"

class CPreference;

// The download manager's environment in the program: the settings and folders
// of the configuration, and the list databases of the subscription folder.
class CPreferenceEnvironment : public CDownloadEnvironment
{
public:
    explicit CPreferenceEnvironment(CPreference& preference);

    CDownloadSettings GetSettings() override;
    void SetSchedulerInterval(int minutes) override;
    bool GetEnclosureFile(const uString& ds, const uString& item, uString& file) override;
    void SetEnclosureFile(const uString& ds, const uString& item, const uString& localFile, uint64_t length,
                          const char* type) override;

private:
    CPreference& m_preference;
};
