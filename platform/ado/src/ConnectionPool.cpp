#include "ConnectionPool.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace ado::detail
{

namespace
{
// Enough for every update thread on a couple of lists at once.
constexpr std::size_t kMostKept = 16;
} // namespace

bool FileIdentity::read(const std::string& path, FileIdentity& identity)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return false;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.modifiedNs =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

ConnectionPool& ConnectionPool::instance()
{
    static ConnectionPool pool;
    return pool;
}

ConnectionPool::~ConnectionPool()
{
    release(std::string());
}

void ConnectionPool::closeIdle(Idle& idle)
{
    idle.statements.clear();
    sqlite3_close_v2(idle.db);
    idle.db = nullptr;
}

ConnectionPool::Idle ConnectionPool::take(const std::string& path, const std::string& password)
{
    FileIdentity now;
    const bool exists = FileIdentity::read(path, now);
    std::vector<Idle> stale;
    Idle found;
    {
        std::lock_guard hold(m_lock);
        for (auto idle = m_idle.end(); idle != m_idle.begin();)
        {
            --idle;
            if (idle->path != path)
                continue;
            if (!exists || !(idle->identity == now))
            {
                stale.push_back(std::move(*idle));
                idle = m_idle.erase(idle);
                continue;
            }
            if (!found.db && idle->password == password)
            {
                found = std::move(*idle);
                idle = m_idle.erase(idle);
            }
        }
    }
    for (Idle& idle : stale)
        closeIdle(idle);
    return found;
}

void ConnectionPool::give(Idle idle)
{
    Idle evicted;
    {
        std::lock_guard hold(m_lock);
        if (m_idle.size() >= kMostKept)
        {
            evicted = std::move(m_idle.front());
            m_idle.erase(m_idle.begin());
        }
        m_idle.push_back(std::move(idle));
    }
    if (evicted.db)
        closeIdle(evicted);
}

void ConnectionPool::release(const std::string& path)
{
    std::vector<Idle> released;
    {
        std::lock_guard hold(m_lock);
        for (auto idle = m_idle.begin(); idle != m_idle.end();)
        {
            if (path.empty() || idle->path == path)
            {
                released.push_back(std::move(*idle));
                idle = m_idle.erase(idle);
            }
            else
            {
                ++idle;
            }
        }
    }
    for (Idle& idle : released)
        closeIdle(idle);
}

std::size_t ConnectionPool::size() const
{
    std::lock_guard hold(m_lock);
    return m_idle.size();
}

} // namespace ado::detail
