#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"
#include "foundation/uThread.h"

// A runnable that downloads one URL into one file (resuming it), for running on a uThread.
class uDownloadJob : public uRunnable
{
public:
    explicit uDownloadJob(const uString& url);
    // The target's path is copied; the caller's object is not used afterwards.
    uDownloadJob(const uString& url, const uFile& target);

    void run() override;

    const uString& getURL() const { return m_url; }
    const uFile& getTarget() const { return m_target; }

private:
    uFile m_target;
    uString m_url;
};
