#pragma once

// What the program asks of SQLite on the database files of one name: the
// connections it opens and the statements it runs, seen from inside SQLite
// itself, whatever layer of the program asked.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <vector>

namespace sqlitewatch
{
inline bool NamesFile(const char* path, const std::string& suffix)
{
    return path != nullptr && std::string_view(path).ends_with(suffix);
}

// Counts the connections SQLite opens on database files of one name, by
// standing in for the process's default file-system layer while it lives.
// The stand-in stays valid afterwards: a connection opened through it may
// outlive the counter and still open its journal through it.
class DatabaseOpenCounter
{
public:
    explicit DatabaseOpenCounter(std::string fileName)
    {
        s_suffix = "/" + std::move(fileName);
        s_opens = 0;
        s_real = sqlite3_vfs_find(nullptr);
        s_vfs = *s_real; // pAppData included: the real layer's methods read it
        s_vfs.zName = "kestrova-open-counter";
        s_vfs.xOpen = &Open;
        sqlite3_vfs_register(&s_vfs, 1);
    }
    ~DatabaseOpenCounter()
    {
        sqlite3_vfs_register(s_real, 1);
        sqlite3_vfs_unregister(&s_vfs);
    }
    DatabaseOpenCounter(const DatabaseOpenCounter&) = delete;
    DatabaseOpenCounter& operator=(const DatabaseOpenCounter&) = delete;
    int Opens() const { return s_opens.load(); }

private:
    static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
    {
        if ((flags & SQLITE_OPEN_MAIN_DB) != 0 && NamesFile(name, s_suffix))
            ++s_opens;
        return s_real->xOpen(s_real, name, file, flags, outFlags);
    }

    static inline std::string s_suffix;
    static inline std::atomic<int> s_opens{0};
    static inline sqlite3_vfs* s_real = nullptr;
    static inline sqlite3_vfs s_vfs{};
};

// Records the statements run on database files of one name by connections
// opened while it lives (SQLite's own settings statements, PRAGMA, left out).
class StatementRecorder
{
public:
    explicit StatementRecorder(std::string fileName)
    {
        std::lock_guard<std::mutex> lock(s_lock);
        s_suffix = "/" + std::move(fileName);
        s_statements.clear();
        s_recording = true;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&Attach));
    }
    ~StatementRecorder()
    {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&Attach));
        std::lock_guard<std::mutex> lock(s_lock);
        s_recording = false;
    }
    StatementRecorder(const StatementRecorder&) = delete;
    StatementRecorder& operator=(const StatementRecorder&) = delete;

    std::vector<std::string> Statements() const
    {
        std::lock_guard<std::mutex> lock(s_lock);
        return s_statements;
    }

private:
    static int Attach(sqlite3* db, const char**, const void*)
    {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Trace, nullptr);
        return SQLITE_OK;
    }
    static int Trace(unsigned, void*, void* statement, void* text)
    {
        std::string sql(static_cast<const char*>(text));
        std::string head = sql.substr(0, 6);
        std::transform(head.begin(), head.end(), head.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        if (head == "PRAGMA" || sql.starts_with("--")) // a trigger's own statements come as comments
            return 0;
        sqlite3* db = sqlite3_db_handle(static_cast<sqlite3_stmt*>(statement));
        std::lock_guard<std::mutex> lock(s_lock);
        if (s_recording && NamesFile(sqlite3_db_filename(db, "main"), s_suffix))
            s_statements.push_back(std::move(sql));
        return 0;
    }

    static inline std::mutex s_lock;
    static inline std::string s_suffix;
    static inline std::vector<std::string> s_statements;
    static inline bool s_recording = false;
};
} // namespace sqlitewatch
