#pragma once

#include "ado/Connection.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace ado::detail
{

// Which file a path names now, and how it looked: a kept connection serves
// only the same file, unchanged by anyone but this process's connections.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;

    static bool read(const std::string& path, FileIdentity& identity);
    bool operator==(const FileIdentity& other) const = default;
};

// Open connections that their users have closed, kept for the next opener
// of the same file: opening a database, reading its schema and preparing a
// store's statements cost more than storing a feed of fifty items. Bounded;
// a kept connection holds no transaction and no lock.
class ConnectionPool
{
public:
    struct Idle
    {
        sqlite3* db = nullptr;
        StatementCache statements;
        std::string path;
        std::string password;
        FileIdentity identity;
    };

    static ConnectionPool& instance();
    ~ConnectionPool();

    // A kept connection to this file opened with this password, or one with a
    // null db. Kept connections to a file that has changed meanwhile (removed,
    // replaced, rewritten by another process) are closed here.
    Idle take(const std::string& path, const std::string& password);
    // Keeps the connection, or closes it when the bound is reached (the oldest goes).
    void give(Idle idle);
    // Closes every kept connection to this path (all of them for an empty path),
    // before its file is removed or made anew.
    void release(const std::string& path);
    std::size_t size() const;

private:
    static void closeIdle(Idle& idle);

    mutable std::mutex m_lock;
    std::vector<Idle> m_idle; // oldest first
};

} // namespace ado::detail
