#include "ado/StatementCache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

namespace
{

TEST(StatementCacheTest, WhenFullTheStatementUnusedLongestGoes)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    {
        ado::detail::StatementCache cache;
        const auto text = [](std::size_t n) { return "select " + std::to_string(n); };
        for (std::size_t n = 0; n <= ado::detail::StatementCache::kCapacity; ++n)
        {
            sqlite3_stmt* statement = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(db, text(n).c_str(), -1, &statement, nullptr), SQLITE_OK);
            cache.add(text(n), statement);
            ASSERT_NE(cache.find(text(0)), nullptr); // in use all along
        }
        EXPECT_EQ(cache.size(), ado::detail::StatementCache::kCapacity);
        EXPECT_NE(cache.find(text(0)), nullptr);
        EXPECT_EQ(cache.find(text(1)), nullptr); // the one unused longest
        EXPECT_NE(cache.find(text(ado::detail::StatementCache::kCapacity)), nullptr);
    }
    // Every statement was finalized by the cache: the database closes at once.
    EXPECT_EQ(sqlite3_close(db), SQLITE_OK);
}

} // namespace
