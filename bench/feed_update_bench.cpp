// Speed of the feed engine: parsing, storing and whole update passes against
// a seeded corpus served from 127.0.0.1.
//
//   feed_update_bench [--feeds=N] [--items=M] [--seed=S] [benchmark flags]
//       the benchmarks (the server runs in a child process, so CPU time and
//       peak memory are the engine's alone)
//   feed_update_bench --serve=DIR [--feeds=N] [--items=M] [--seed=S] [--latency=MS] [--cookies]
//       writes the corpus, its OPML and urls.txt to DIR, serves it (each answer
//       MS milliseconds late) and prints "port N"; ends when standard input closes
//   --cookies: every answer of the server sets two cookies (for the benchmarks too)
//   feed_update_bench --jar-lines=N [--feeds=N] [--items=M] [--cookies]
//       a cold pass and the next over the corpus when the site's cookie file
//       holds N lines at the start (as an older version or another tool may
//       leave it); run with N=0 beside it. In this process alone, since the
//       process reads a site's cookie file once.
//   feed_update_bench --pass=URLS [--threads=T] [--home=DIR]
//       one cold update pass over the URLs of a file (another reader's server),
//       in a private HOME, or in DIR, which is then kept
//
// Run by hand; no test runs it.

#include "FeedCorpus.h"
#include "LoopbackFeedServer.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "feeds/RefreshHost.h"
#include "foundation/uHash.h"
#include "foundation/uUrl.h"
#include "foundation/uXml.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

struct Settings
{
    benchcorpus::Options corpus;
    std::string serveFolder;
    std::string passUrls;
    int threads = 4;
    int latencyMs = 0;
    bool cookies = false;
    int jarLines = -1;
    std::string home; // kept after the run when given
};

Settings g_settings;
std::string g_baseUrl;

// ---- process figures --------------------------------------------------------

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The peak resident size is reset before each measured run, so every figure
// is that run's own peak (Linux keeps it in VmHWM).
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMemoryMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Bytes this process handed to write calls (wchar) and caused to be written
// to storage (write_bytes), from /proc/self/io.
struct WrittenBytes
{
    double wchar = 0;
    double storage = 0;
};

WrittenBytes Written()
{
    std::ifstream io("/proc/self/io");
    WrittenBytes written;
    std::string name;
    double value = 0;
    while (io >> name >> value)
    {
        if (name == "wchar:")
            written.wchar = value;
        else if (name == "write_bytes:")
            written.storage = value;
    }
    return written;
}

// ---- the data folder of the engine -----------------------------------------

// A private HOME, so the configuration and the list databases of the run are
// made afresh and removed afterwards.
class BenchHome
{
public:
    BenchHome()
    {
        char pattern[] = "/tmp/kestrova-bench-XXXXXX";
        m_keep = !g_settings.home.empty();
        m_path = m_keep ? g_settings.home : (::mkdtemp(pattern) ? pattern : "");
        ::setenv("HOME", m_path.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_path + "/.config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_path + "/.local/share").c_str(), 1);
        ::setenv("XDG_DOCUMENTS_DIR", (m_path + "/Documents").c_str(), 1);
        CPreference* preference = CPreference::GetInstance();
        CPreference::DownloadSection download = preference->GetDownloadSection();
        download.bAutoDownload = false;
        preference->SetDownloadSection(download);
    }
    ~BenchHome()
    {
        CPreference::Release();
        std::error_code ignored;
        if (!m_keep)
            std::filesystem::remove_all(m_path, ignored);
    }

    std::string listPath(const std::string& name) const
    {
        return std::string(CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str()) + "/" + name;
    }
    // A fresh copy of the empty list database.
    void freshList(const std::string& name) const
    {
        std::filesystem::create_directories(std::filesystem::path(listPath(name)).parent_path());
        uActiveXDataObjectExt::removeDatabaseFiles(listPath(name).c_str());
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, listPath(name));
    }

private:
    std::string m_path;
    bool m_keep = false;
};

BenchHome& Home()
{
    static BenchHome home;
    return home;
}

void Execute(CFeedStore& store, const uString& sql)
{
    store.EnsureOpen(false);
    if (!store.dataObject.execute(sql.c_str()))
    {
        std::cerr << "statement failed: " << sql.c_str() << "\n"
                  << store.dataObject.getErrorText().c_str() << "\n";
        std::exit(1);
    }
}

// Subscribes the URLs with a last update long ago: every feed is due.
void Subscribe(const std::string& list, const std::vector<std::string>& urls)
{
    Home().freshList(list);
    CFeedStore store;
    store.SetDatabase(list.c_str());
    for (const std::string& url : urls)
    {
        uString sql;
        sql.format("INSERT INTO channel (feed, title, ttl, attributes, lastupdate) VALUES(%s, %s, 0, 0, "
                   "'2000-01-01 00:00:00')",
                   SqlHexLiteral(url.c_str()).c_str(), SqlHexLiteral(url.c_str()).c_str());
        Execute(store, sql);
    }
}

void MakeAllDue(const std::string& list)
{
    CFeedStore store;
    store.SetDatabase(list.c_str());
    Execute(store, "UPDATE channel SET lastupdate='2000-01-01 00:00:00'");
}

long long CountItems(const std::string& list)
{
    CFeedStore store;
    store.SetDatabase(list.c_str());
    store.EnsureOpen(false);
    uString value;
    if (!store.dataObject.query("select count(*) from item") || !store.dataObject.getFieldString(0, value))
        return -1;
    store.dataObject.closeQuery();
    return std::atoll(value.c_str());
}

struct PassFigures
{
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
};

PassFigures RunPass(const std::string& list, int threads)
{
    auto host = CRefreshHost::Create(0, nullptr, threads);
    host->SetParallelMode(true);
    ResetPeakMemory();
    const double cpuBefore = CpuSeconds();
    const Clock::time_point start = Clock::now();
    if (host->RefreshAll({list.c_str()}) != CRefreshHost::RefreshStart::kStarted ||
        !host->WaitIdle(3600 * 1000))
    {
        std::cerr << "the update pass did not run to its end\n";
        std::exit(1);
    }
    PassFigures figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.cpuSeconds = CpuSeconds() - cpuBefore;
    figures.peakMiB = PeakMemoryMiB();
    return figures;
}

std::vector<std::string> CorpusUrls()
{
    std::vector<std::string> urls;
    for (int i = 0; i < g_settings.corpus.feeds; ++i)
        urls.push_back(g_baseUrl + "/feeds/" + std::to_string(i) + ".xml");
    return urls;
}

// ---- benchmarks -------------------------------------------------------------

// The XML load and the walk over the tree, separately, over the first 50
// feeds of the corpus held in memory.
void BM_XmlLoad(benchmark::State& state)
{
    benchcorpus::Options options = g_settings.corpus;
    options.feeds = std::min(options.feeds, 50);
    const std::vector<benchcorpus::Feed> feeds = benchcorpus::MakeCorpus(options);
    std::int64_t bytes = 0;
    for (auto _ : state)
        for (const benchcorpus::Feed& feed : feeds)
        {
            uXmlDocument document;
            if (!document.loadXml(feed.body.c_str(), true, true, false, true))
                state.SkipWithError("a corpus feed did not load");
            bytes += static_cast<std::int64_t>(feed.body.size());
        }
    state.SetBytesProcessed(bytes);
}

void BM_ParseWalk(benchmark::State& state)
{
    benchcorpus::Options options = g_settings.corpus;
    options.feeds = std::min(options.feeds, 50);
    const std::vector<benchcorpus::Feed> feeds = benchcorpus::MakeCorpus(options);
    std::vector<std::unique_ptr<uXmlDocument>> documents;
    std::int64_t expected = 0;
    for (const benchcorpus::Feed& feed : feeds)
    {
        documents.push_back(std::make_unique<uXmlDocument>());
        documents.back()->loadXml(feed.body.c_str(), true, true, false, true);
        expected += feed.items;
    }
    std::int64_t items = 0;
    for (auto _ : state)
    {
        std::int64_t parsed = 0;
        for (auto& document : documents)
        {
            CFeedStore store;
            store.ParseFeedDocument(new uXmlNode(document->getDocumentElement()));
            parsed += static_cast<std::int64_t>(store.items.size());
        }
        // A fixture that stopped parsing must not pass for a fast parser.
        if (parsed != expected)
            state.SkipWithError("the parsers found fewer items than the corpus holds");
        items += parsed;
    }
    state.SetItemsProcessed(items);
}

// What a refresh does to a fetched document before storing it: the XML load
// and the walk of the parsers, as one figure.
void BM_LoadWalk(benchmark::State& state)
{
    benchcorpus::Options options = g_settings.corpus;
    options.feeds = std::min(options.feeds, 50);
    const std::vector<benchcorpus::Feed> feeds = benchcorpus::MakeCorpus(options);
    std::int64_t expected = 0;
    for (const benchcorpus::Feed& feed : feeds)
        expected += feed.items;
    std::int64_t items = 0;
    for (auto _ : state)
    {
        std::int64_t parsed = 0;
        for (const benchcorpus::Feed& feed : feeds)
        {
            uXmlDocument document;
            document.loadXml(feed.body.c_str(), true, true, false, true);
            CFeedStore store;
            store.ParseFeedDocument(new uXmlNode(document.getDocumentElement()));
            parsed += static_cast<std::int64_t>(store.items.size());
        }
        if (parsed != expected)
            state.SkipWithError("the parsers found fewer items than the corpus holds");
        items += parsed;
    }
    state.SetItemsProcessed(items);
}

// Storing the items of one feed: all new (the insert road) and all known
// (the refused road).
void BM_Store(benchmark::State& state)
{
    const bool known = state.range(0) != 0;
    // The first podcast of the corpus: the most statements per item.
    benchcorpus::Feed feed;
    for (int i = 0; feed.format != benchcorpus::Format::kRssWithEnclosures || feed.body.empty(); ++i)
        feed = benchcorpus::MakeFeed(g_settings.corpus, i);
    uXmlDocument document;
    document.loadXml(feed.body.c_str(), true, true, false, true);
    const uString url = (g_baseUrl + feed.path).c_str();
    std::int64_t items = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        Subscribe("store.mdb", {url.c_str()});
        CFeedStore store;
        store.ParseFeedDocument(new uXmlNode(document.getDocumentElement()));
        store.channel.link = url;
        if (known)
        {
            store.SaveChannel("store.mdb", false, false, false, false);
            store.newTitles.clear();
        }
        state.ResumeTiming();
        store.SaveChannel("store.mdb", false, false, false, false);
        state.PauseTiming();
        if (static_cast<int>(store.newTitles.size()) != (known ? 0 : feed.items))
            state.SkipWithError("unexpected number of new items");
        items += static_cast<std::int64_t>(store.items.size());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(items);
    state.SetLabel(std::string(known ? "known items, " : "new items, ") +
                   benchcorpus::FormatName(feed.format));
}

// A whole update pass over the corpus: cold (every item new) and warm (every
// item known, every feed forced due).
void BM_UpdatePass(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    const bool warm = state.range(1) != 0;
    const std::vector<std::string> urls = CorpusUrls();
    PassFigures total;
    long long stored = 0;
    for (auto _ : state)
    {
        Subscribe("pass.mdb", urls);
        if (warm)
        {
            RunPass("pass.mdb", threads);
            MakeAllDue("pass.mdb");
        }
        const long long before = CountItems("pass.mdb");
        const PassFigures figures = RunPass("pass.mdb", threads);
        stored = CountItems("pass.mdb") - before;
        state.SetIterationTime(figures.seconds);
        total.seconds += figures.seconds;
        total.cpuSeconds += figures.cpuSeconds;
        total.peakMiB = std::max(total.peakMiB, figures.peakMiB);
    }
    const double passes = static_cast<double>(state.iterations());
    const double seconds = total.seconds / passes;
    const double feeds = static_cast<double>(urls.size());
    state.counters["feeds/min"] = feeds / seconds * 60.0;
    state.counters["items/min"] = static_cast<double>(feeds * g_settings.corpus.itemsMin) / seconds * 60.0;
    state.counters["new items"] = static_cast<double>(stored);
    state.counters["cpu s"] = total.cpuSeconds / passes;
    state.counters["peak MiB"] = total.peakMiB;
    state.SetLabel(warm ? "warm" : "cold");
}

// A pass over a list where nothing is due: it should read, not write (no
// compaction of a list with nothing to reclaim, no row touched).
void BM_IdlePass(benchmark::State& state)
{
    const std::vector<std::string> urls = CorpusUrls();
    WrittenBytes total;
    for (auto _ : state)
    {
        state.PauseTiming();
        Subscribe("idle.mdb", urls);
        RunPass("idle.mdb", 4);
        CFeedStore store;
        store.SetDatabase("idle.mdb");
        Execute(store, "UPDATE channel SET ttl=60, lastupdate=Now()");
        store.Close();
        state.ResumeTiming();
        const WrittenBytes before = Written();
        RunPass("idle.mdb", 4);
        const WrittenBytes after = Written();
        total.wchar += after.wchar - before.wchar;
        total.storage += after.storage - before.storage;
        if (CountItems("idle.mdb") != static_cast<long long>(urls.size()) * g_settings.corpus.itemsMin)
            state.SkipWithError("the cold pass did not store every item");
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["written KiB"] = total.wchar / passes / 1024.0;
    state.counters["storage KiB"] = total.storage / passes / 1024.0;
}

void RegisterBenchmarks()
{
    benchmark::RegisterBenchmark("XmlLoad", BM_XmlLoad)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ParseWalk", BM_ParseWalk)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LoadWalk", BM_LoadWalk)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Store", BM_Store)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("IdlePass", BM_IdlePass)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("UpdatePass", BM_UpdatePass)
        ->ArgNames({"threads", "warm"})
        ->ArgsProduct({{1, 2, 4, 8}, {0, 1}})
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
}

// ---- the server -------------------------------------------------------------

std::map<std::string, std::string> Documents(const std::vector<benchcorpus::Feed>& feeds)
{
    std::map<std::string, std::string> documents;
    for (const benchcorpus::Feed& feed : feeds)
        documents[feed.path] = feed.body;
    documents["/favicon.ico"] = std::string("\0\0\1\0\1\0\20\20", 8);
    return documents;
}

// Serves the corpus until standard input closes (the script's and the
// benchmark's way of ending it).
int Serve(const std::string& folder)
{
    const std::vector<benchcorpus::Feed> feeds = benchcorpus::MakeCorpus(g_settings.corpus);
    benchserver::LoopbackFeedServer server(Documents(feeds), g_settings.latencyMs, g_settings.cookies);
    if (!folder.empty())
    {
        std::filesystem::create_directories(folder + "/feeds");
        if (!benchcorpus::WriteCorpus(feeds, folder, server.baseUrl()))
        {
            std::cerr << "cannot write the corpus to " << folder << "\n";
            return 1;
        }
    }
    std::cout << "port " << server.port() << std::endl;
    char ignored[256];
    while (std::fread(ignored, 1, sizeof ignored, stdin) > 0)
    {
    }
    std::cerr << "served " << server.gets() << " feed GETs over " << server.getSpanSeconds() << " s\n";
    return 0;
}

// Starts the server in a child process; the pipe to its standard input ends it.
struct ServerChild
{
    pid_t pid = -1;
    int input = -1;

    bool start()
    {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return false;
        pid = ::fork();
        if (pid == 0)
        {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            std::_Exit(Serve(""));
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input = toChild[1];
        FILE* output = ::fdopen(fromChild[0], "r");
        int port = 0;
        if (!output || std::fscanf(output, "port %d", &port) != 1)
            return false;
        std::fclose(output);
        g_baseUrl = "http://127.0.0.1:" + std::to_string(port);
        return true;
    }
    ~ServerChild()
    {
        if (input >= 0)
            ::close(input);
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
    }
};

// The corpus site's cookie file, with `lines` cookies of another tool in it.
void FillCookieJar(int lines)
{
    uMD5 digest(0);
    digest.hashString(GetBaseURL(g_baseUrl.c_str()).c_str());
    uString name;
    digest.getHexDigest(name);
    const std::string cache = CPreference::GetInstance()->GetCacheDir().getPath().c_str();
    std::ofstream jar(cache + "/" + name.c_str() + ".cookie");
    jar << "# Netscape HTTP Cookie File\n\n";
    for (int i = 0; i < lines; ++i)
        jar << "127.0.0.1\tFALSE\t/\tFALSE\t0\tkept" << i << "\tvalue" << i << "\n";
}

int PassesOverAJar()
{
    FillCookieJar(g_settings.jarLines);
    Subscribe("jar.mdb", CorpusUrls());
    const PassFigures first = RunPass("jar.mdb", g_settings.threads);
    MakeAllDue("jar.mdb");
    const PassFigures next = RunPass("jar.mdb", g_settings.threads);
    std::printf("jar of %d lines, %d feeds, %d threads: first pass %.3f s (%.3f s CPU), next %.3f s (%.3f s CPU)\n",
                g_settings.jarLines, g_settings.corpus.feeds, g_settings.threads, first.seconds, first.cpuSeconds,
                next.seconds, next.cpuSeconds);
    return 0;
}

int PassAgainst(const std::string& urlFile)
{
    std::ifstream in(urlFile);
    std::vector<std::string> urls;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            urls.push_back(line);
    if (urls.empty())
    {
        std::cerr << "no URLs in " << urlFile << "\n";
        return 1;
    }
    Subscribe("pass.mdb", urls);
    const PassFigures figures = RunPass("pass.mdb", g_settings.threads);
    const long long items = CountItems("pass.mdb");
    std::printf("kestrova: %zu feeds, %lld items, %d threads: %.3f s wall, %.3f s CPU, %.1f MiB peak, %.0f "
                "feeds/min\n",
                urls.size(), items, g_settings.threads, figures.seconds, figures.cpuSeconds, figures.peakMiB,
                static_cast<double>(urls.size()) / figures.seconds * 60.0);
    std::printf("seconds %.3f\n", figures.seconds);
    return 0;
}

// Takes this program's own flags out of argv, leaving the benchmark flags.
void ParseFlags(int& argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char*
        { return arg.rfind(name, 0) == 0 ? argv[i] + std::strlen(name) : nullptr; };
        if (const char* v = value("--feeds="))
            g_settings.corpus.feeds = std::atoi(v);
        else if (const char* v = value("--items="))
            g_settings.corpus.itemsMin = g_settings.corpus.itemsMax = std::atoi(v);
        else if (const char* v = value("--seed="))
            g_settings.corpus.seed = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        else if (const char* v = value("--serve="))
            g_settings.serveFolder = v;
        else if (const char* v = value("--pass="))
            g_settings.passUrls = v;
        else if (const char* v = value("--threads="))
            g_settings.threads = std::atoi(v);
        else if (const char* v = value("--home="))
            g_settings.home = v;
        else if (const char* v = value("--latency="))
            g_settings.latencyMs = std::atoi(v);
        else if (const char* v = value("--jar-lines="))
            g_settings.jarLines = std::atoi(v);
        else if (arg == "--cookies")
            g_settings.cookies = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
}

} // namespace

int main(int argc, char** argv)
{
    ::signal(SIGPIPE, SIG_IGN);
    ParseFlags(argc, argv);
    if (!g_settings.serveFolder.empty())
        return Serve(g_settings.serveFolder);
    // The program holds the XML platform for its whole run (the application
    // object does); without this, every document would start it afresh.
    const uXmlPlatform xmlPlatform;
    if (!g_settings.passUrls.empty())
    {
        Home();
        return PassAgainst(g_settings.passUrls);
    }

    // Forked before any thread of this process exists.
    ServerChild server;
    if (!server.start())
    {
        std::cerr << "the corpus server did not start\n";
        return 1;
    }
    Home();
    if (g_settings.jarLines >= 0)
        return PassesOverAJar();
    std::cerr << "corpus: " << g_settings.corpus.feeds << " feeds x " << g_settings.corpus.itemsMin
              << " items, seed " << g_settings.corpus.seed << ", served at " << g_baseUrl
              << (g_settings.cookies ? ", every answer sets two cookies" : "") << "\n";
    benchmark::Initialize(&argc, argv);
    RegisterBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
