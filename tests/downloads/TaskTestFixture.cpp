#include "TaskTestFixture.h"

#include <filesystem>

namespace downloadtest
{

TaskTest::TaskTest() : m_preference(CPreference::GetInstance()), m_environment(*m_preference)
{
    CPreference::DownloadSection download = m_preference->GetDownloadSection();
    download.nMinFreeSpace = 1; // test disks can be nearly full
    download.nMaxDownloadingThreads = 2;
    download.bIntervalScheduler = true;
    m_preference->SetDownloadSection(download);
    std::filesystem::copy_file(liststore::TemplatePath(), Data(std::string("subscription/") + kList));
    CFeedStore store(m_preference->GetSubscriptionDir().getPath());
    store.SetDatabase(kList);
    liststore::InsertChannel(store, kFeed, "News", 60, 2);
}

CTransferItem TaskTest::Enclosure(const std::string& path, int media, const std::string& label, int type)
{
    const std::string item = "http://site.test/item" + std::to_string(++m_items);
    const std::string link = m_server.url(path);
    CFeedStore store(m_preference->GetSubscriptionDir().getPath());
    store.SetDatabase(kList);
    liststore::InsertItem(store, kFeed, U(item), U("Item"));
    liststore::InsertEnclosure(store, U(item), U(link), U("audio/mpeg"));
    return CTransferItem(type, media, U(label), U(kList), U(kFeed), U(item), U(link));
}

std::string TaskTest::StoredRow(const CTransferItem& record)
{
    CFeedStore store(m_preference->GetSubscriptionDir().getPath());
    store.SetDatabase(kList);
    std::string row;
    const char* separator = "";
    for (const char* column : {"localfile", "length", "type"})
    {
        uString sql;
        sql.format("select %s from enclosure where feed = %s", column, SqlHexLiteral(record.item).c_str());
        row += separator + liststore::Scalar(store, sql);
        separator = "|";
    }
    return row;
}

void TaskTest::ChangeDownload(const std::function<void(CPreference::DownloadSection&)>& change)
{
    CPreference::DownloadSection section = m_preference->GetDownloadSection();
    change(section);
    m_preference->SetDownloadSection(section);
}

CTransferItem TaskTest::Queued(CDownloadManager& manager, const CTransferItem& record)
{
    manager.AddItem(record);
    CTransferItem copy;
    manager.GetItemByItem(record.item, copy);
    return copy;
}

} // namespace downloadtest
