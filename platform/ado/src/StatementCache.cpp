#include "ado/StatementCache.h"

#include <sqlite3.h>

namespace ado::detail
{

sqlite3_stmt* StatementCache::find(std::string_view sql)
{
    const auto found = m_entries.find(sql);
    if (found == m_entries.end())
        return nullptr;
    found->second.lastUse = ++m_uses;
    return found->second.statement;
}

void StatementCache::add(std::string_view sql, sqlite3_stmt* statement)
{
    if (m_entries.size() >= kCapacity)
    {
        auto oldest = m_entries.begin();
        for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry)
        {
            if (entry->second.lastUse < oldest->second.lastUse)
                oldest = entry;
        }
        sqlite3_finalize(oldest->second.statement);
        m_entries.erase(oldest);
    }
    m_entries.insert_or_assign(std::string(sql), Entry{statement, ++m_uses});
}

void StatementCache::clear()
{
    for (auto& entry : m_entries)
        sqlite3_finalize(entry.second.statement);
    m_entries.clear();
}

} // namespace ado::detail
