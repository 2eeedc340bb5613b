#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3_stmt;

namespace ado::detail
{

// Prepared statements of one connection by their (translated) text: a store
// runs the same few shapes thousands of times, and preparing costs more than
// running. Bounded; when full, the statement unused longest goes. Owns and
// finalizes its statements.
class StatementCache
{
public:
    static constexpr std::size_t kCapacity = 64;

    StatementCache() = default;
    ~StatementCache() { clear(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The statement kept for this text, or null.
    sqlite3_stmt* find(std::string_view sql);
    void add(std::string_view sql, sqlite3_stmt* statement);
    void clear();
    std::size_t size() const { return m_entries.size(); }

private:
    struct TextHash
    {
        using is_transparent = void; // looked up by string_view, without a copy
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    struct Entry
    {
        sqlite3_stmt* statement = nullptr;
        std::uint64_t lastUse = 0;
    };
    std::unordered_map<std::string, Entry, TextHash, std::equal_to<>> m_entries;
    std::uint64_t m_uses = 0;
};

} // namespace ado::detail
