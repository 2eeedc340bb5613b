#include "foundation/uDownloadJob.h"

#include "foundation/uCurlTransfer.h"

uDownloadJob::uDownloadJob(const uString& url) : m_url(url) {}

uDownloadJob::uDownloadJob(const uString& url, const uFile& target)
    : m_target(target.getPath().c_str()), m_url(url)
{
}

void uDownloadJob::run()
{
    if (m_url.isEmpty())
        return;
    uCurlTransfer transfer(m_url);
    transfer.downloadToFile(&m_target);
}
