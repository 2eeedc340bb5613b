// Importing a large outline file: reading it and storing its feeds in a
// list database without fetching (the work the import's worker
// thread does while the window shows its progress), and exporting the list
// again.
//
//   opml_import_bench [--feeds=N] [benchmark flags]      (N defaults to 5000)
//
// Run by hand; no test runs it.
#include "dialogs/Opml.h"
#include "feeds/FeedImport.h"
#include "feeds/FeedStore.h"
#include "foundation/uXml.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
int g_feeds = 5000;

struct Folder
{
    Folder()
    {
        char pattern[] = "/tmp/opml-bench-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string path;
};

// N feeds in groups of 50, as a reader with categories writes them.
std::string WriteOutlines(const std::string& folder)
{
    std::string path = folder + "/big.opml";
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml "
           "version=\"2.0\"><head><title>Big</title></head><body>\n";
    for (int i = 0; i < g_feeds; ++i)
    {
        if (i % 50 == 0)
            out << (i > 0 ? "</outline>\n" : "") << "<outline text=\"Group " << i / 50 << "\">\n";
        out << "  <outline type=\"rss\" text=\"Feed &amp; number " << i << "\" description=\"About feed " << i
            << "\" xmlUrl=\"http://127.0.0.1:9/feeds/" << i << ".xml\" htmlUrl=\"http://127.0.0.1:9/\"/>\n";
    }
    out << "</outline>\n</body></opml>\n";
    return path;
}

void BM_ReadOutlines(benchmark::State& state)
{
    uXmlPlatform platform;
    Folder folder;
    std::string path = WriteOutlines(folder.path);
    for (auto _ : state)
    {
        opml::Document document = opml::ReadFile(path.c_str());
        benchmark::DoNotOptimize(document.rows.size());
    }
    state.counters["feeds"] = g_feeds;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

// Read and store every feed into one list, in one transaction, with progress callbacks.
void BM_ImportIntoList(benchmark::State& state)
{
    uXmlPlatform platform;
    Folder folder;
    std::string path = WriteOutlines(folder.path);
    std::size_t steps = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, folder.path + "/default.mdb",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(folder.path + "/default.mdb-wal");
        std::filesystem::remove(folder.path + "/default.mdb-shm");
        state.ResumeTiming();

        opml::Document document = opml::ReadFile(path.c_str());
        std::vector<feeds::ImportedFeed> feeds;
        for (const opml::Row& row : document.rows)
            feeds.push_back({row.link, row.title, row.description});
        CFeedStore store(uString(folder.path.c_str()));
        feeds::ImportCounts counts;
        feeds::AddFeedsUnfetched(store, uString("default.mdb"), feeds, counts, [&](std::size_t) { ++steps; });
        if (counts.added != static_cast<std::size_t>(g_feeds))
            state.SkipWithError("not every feed was stored");
    }
    state.counters["feeds"] = g_feeds;
    state.counters["progress_steps"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kAvgIterations);
}

void BM_ExportList(benchmark::State& state)
{
    uXmlPlatform platform;
    Folder folder;
    std::vector<opml::Feed> feeds;
    for (int i = 0; i < g_feeds; ++i)
        feeds.push_back({uString(("Feed " + std::to_string(i)).c_str()), uString("About"),
                         uString(("http://127.0.0.1:9/feeds/" + std::to_string(i) + ".xml").c_str()),
                         uString()});
    std::string path = folder.path + "/out.opml";
    for (auto _ : state)
        benchmark::DoNotOptimize(opml::WriteList(uString("Big"), feeds, path.c_str()));
    state.counters["feeds"] = g_feeds;
}

BENCHMARK(BM_ReadOutlines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportIntoList)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportList)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i)
    {
        std::string argument = argv[i];
        if (argument.rfind("--feeds=", 0) == 0)
            g_feeds = std::atoi(argument.c_str() + 8);
        else
            rest.push_back(argv[i]);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
