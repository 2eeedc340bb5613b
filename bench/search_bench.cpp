// Speed of the item search: a news watch over 10 lists of 10,000 items each
// (100,000 items), its unread count, and the search bar's search of one list.
//
//   search_bench [--lists=N] [--items=M] [benchmark flags]
//
// Each figure covers the whole search as the window runs it: opening the list
// databases, the count, and reading the matching items with their enclosures.
// Run by hand; no test runs it.

#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "foundation/uActiveXDataObjectExt.h"
#include "common/SearchRequests.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace
{
int g_lists = 10;
int g_items = 10000;
// One item in this many carries the watched word; a third of those are unread.
constexpr int kMatchEvery = 100;

class BenchHome
{
public:
    BenchHome()
    {
        char pattern[] = "/tmp/kestrova-search-bench-XXXXXX";
        m_path = ::mkdtemp(pattern) ? pattern : "";
        ::setenv("HOME", m_path.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_path + "/.config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_path + "/.local/share").c_str(), 1);
        ::setenv("XDG_DOCUMENTS_DIR", (m_path + "/Documents").c_str(), 1);
        for (int list = 0; list < g_lists; ++list)
        {
            std::string name = "user" + std::to_string(list) + ".mdb";
            std::string path = ListPath(name);
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, path);
            Fill(path, list);
            databases.emplace_back(name.c_str());
        }
    }
    ~BenchHome()
    {
        CPreference::Release();
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    std::vector<uString> databases;

private:
    static std::string ListPath(const std::string& name)
    {
        return std::string(CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str()) + "/" + name;
    }
    // Straight through SQLite: filling is not what is measured.
    static void Fill(const std::string& path, int list)
    {
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
            std::exit(1);
        sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "insert into item (title, link, description, author, category, readstatus, feed, "
                           "createdate) values (?, ?, ?, 'Author', 'News', ?, ?, '2026-11-20')",
                           -1, &insert, nullptr);
        for (int n = 0; n < g_items; ++n)
        {
            const bool match = n % kMatchEvery == 0;
            std::string title =
                "Story " + std::to_string(n) + (match ? " about a kestrel" : " about the weather");
            std::string link = "http://list" + std::to_string(list) + ".test/item/" + std::to_string(n);
            std::string description = "A paragraph of ordinary words that most feeds carry in their items, "
                                      "long enough to be read like a real description of a story number " +
                                      std::to_string(n) + ".";
            std::string feed = "http://list" + std::to_string(list) + ".test/feed" + std::to_string(n % 20);
            sqlite3_bind_text(insert, 1, title.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, link.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, description.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 4, match && n % (3 * kMatchEvery) == 0 ? 0 : 1);
            sqlite3_bind_text(insert, 5, feed.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    std::string m_path;
};

BenchHome& Home()
{
    static BenchHome home;
    return home;
}

// What selecting a watch runs: every list into one store.
void BM_WatchSearchAllLists(benchmark::State& state)
{
    const std::vector<uString>& databases = Home().databases;
    size_t found = 0;
    for (auto _ : state)
    {
        CFeedStore store;
        search::SearchWatchLists(store, databases, uString("kestrel"));
        found = store.items.size();
    }
    const size_t expected =
        static_cast<size_t>(g_lists) * static_cast<size_t>((g_items + kMatchEvery - 1) / kMatchEvery);
    if (found != expected)
        state.SkipWithError(("found " + std::to_string(found) + " of " + std::to_string(expected)).c_str());
    state.counters["items"] = static_cast<double>(g_lists) * g_items;
    state.counters["found"] = static_cast<double>(found);
}

// What a refresh or a selection adds to keep the watch's label current.
void BM_WatchUnreadCount(benchmark::State& state)
{
    int count = 0;
    for (auto _ : state)
        count = search::CountWatchUnread(Home().databases, uString("kestrel"));
    if (count <= 0)
        state.SkipWithError("no unread matches counted");
    state.counters["unread"] = count;
}

// The search bar's search: one list, the words in title and description.
void BM_SearchBarOneList(benchmark::State& state)
{
    size_t found = 0;
    for (auto _ : state)
    {
        CFeedStore store;
        CFeedSearchCriteria request =
            search::WatchRequest(Home().databases.front(), uString("kestrel"), false);
        store.SetDatabase(request.listName);
        if (store.OpenSearch(request) > 0)
            store.LoadSearchResults(request, true);
        found = store.items.size();
    }
    if (found == 0)
        state.SkipWithError("nothing found");
    state.counters["found"] = static_cast<double>(found);
}

BENCHMARK(BM_WatchSearchAllLists)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WatchUnreadCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchBarOneList)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i)
    {
        if (std::strncmp(argv[i], "--lists=", 8) == 0)
            g_lists = std::atoi(argv[i] + 8);
        else if (std::strncmp(argv[i], "--items=", 8) == 0)
            g_items = std::atoi(argv[i] + 8);
        else
            rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    Home();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
