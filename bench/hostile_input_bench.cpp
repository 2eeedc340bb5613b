// Cost of the scans that hostile documents used to make grow with the square
// of their size: the HTML scanner on tag soup whose tags never end, the
// removal of nested document type declarations from a feed, and the
// resolution of links under deeply nested xml:base attributes.
//
//   hostile_input_bench [--mib=1,4,16] [benchmark flags]
//
// Each benchmark builds its input of the given size once, checks the result
// of every run, and reports bytes per second. Run by hand; no test runs it.

#include "feeds/DocumentTypes.h"
#include "feeds/FeedStore.h"
#include "foundation/uHtmlParser.h"
#include "foundation/uXml.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{

std::vector<int> g_mib = {1, 4, 16};

std::size_t Bytes(const benchmark::State& state)
{
    return static_cast<std::size_t>(state.range(0)) << 20;
}

// Counts what the scanner reports.
class CountingHandler : public uHtmlHandler
{
public:
    void onStartTag(const uString&, uHtmlParser&, bool& stop) override
    {
        ++startTags;
        stop = false;
    }
    void onText(const uString& text, uHtmlParser&, bool& stop) override
    {
        textBytes += static_cast<std::size_t>(text.getLength());
        stop = false;
    }
    std::size_t startTags = 0;
    std::size_t textBytes = 0;
};

void Scan(benchmark::State& state, const std::string& page, std::size_t tags, std::size_t textBytes)
{
    for (auto _ : state)
    {
        uHtmlParser parser;
        auto* counts = new CountingHandler;
        parser.setHandler(counts);
        parser.parseBuffer(page.data(), static_cast<int>(page.size()));
        if (counts->startTags != tags || counts->textBytes != textBytes)
            state.SkipWithError("the scanner reported other tags or text than the page holds");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

// "<a x" over and over: every "<" starts a tag without a ">".
void BM_HtmlTagsWithoutEnd(benchmark::State& state)
{
    std::string page;
    while (page.size() < Bytes(state))
        page += "<a x";
    Scan(state, page, 0, page.size());
}

// Tags with a quoted ">" and one quote left open at the very end: each tag
// looks that far before it falls back to its first ">".
void BM_HtmlQuoteLeftOpen(benchmark::State& state)
{
    std::string page;
    std::size_t tags = 0;
    for (; page.size() < Bytes(state); ++tags)
        page += "<a x=\">\" ";
    page += "'";
    // Each tag ends inside its value and leaves '"' as text, the last one '" \''.
    Scan(state, page, tags, tags + 2);
}

// "<!DOC" k times, one declaration, "TYPE>" k times: k levels of nesting.
void BM_NestedDocumentTypes(benchmark::State& state)
{
    const std::size_t depth = Bytes(state) / 10;
    std::string text = "head ";
    for (std::size_t i = 0; i < depth; ++i)
        text += "<!DOC";
    text += "<!DOCTYPE>";
    for (std::size_t i = 0; i < depth; ++i)
        text += "TYPE>";
    text += " tail";
    for (auto _ : state)
    {
        uString value(text.c_str(), 0, static_cast<int>(text.size()));
        feeds::RemoveDocumentTypes(value);
        if (std::strcmp(value.c_str(), "head  tail") != 0)
            state.SkipWithError("the declarations were not all removed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// 990 nested elements with a base of 200 bytes each, one entry at every
// level, and the rest of the size in entries at the deepest level. Absolute
// bases: every link is resolved. Relative ones grow at every level: the feed
// is refused once a link stands under a base longer than the limit.
std::string NestedBases(std::size_t bytes, bool absolute, std::size_t& entries)
{
    constexpr int kDepth = 990;
    const std::string entry = "<entry><title>e</title><link href=\"p\"/></entry>";
    std::string feed = "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>t</title>";
    entries = 0;
    for (int level = 0; level < kDepth; ++level, ++entries)
    {
        const std::string name = std::to_string(level) + std::string(200, 'b');
        feed += "<div xml:base=\"" + (absolute ? "http://h.test/" + name : name) + "/\">" + entry;
    }
    const std::size_t closing = kDepth * 6 + 7;
    for (; feed.size() + closing < bytes; ++entries)
        feed += entry;
    for (int level = 0; level < kDepth; ++level)
        feed += "</div>";
    return feed + "</feed>";
}

void BM_NestedBases(benchmark::State& state)
{
    const bool absolute = state.range(1) != 0;
    std::size_t entries = 0;
    const std::string feed = NestedBases(Bytes(state), absolute, entries);
    uXmlDocument document;
    if (!document.loadXml(feed.c_str(), true, true, false, true) || !document.getDocumentElement())
    {
        state.SkipWithError("the feed did not load");
        return;
    }
    const std::string last = "http://h.test/989" + std::string(200, 'b') + "/p";
    for (auto _ : state)
    {
        CFeedStore store;
        store.documentAddress = "http://feed.test/feed.xml";
        const bool parsed = store.ParseFeedDocument(new uXmlNode(document.getDocumentElement()));
        const bool right = absolute ? parsed && store.items.size() == entries &&
                                          std::string(store.items.back().link.c_str()) == last
                                    : !parsed && store.linksRefused && store.items.empty();
        if (!right)
            state.SkipWithError(absolute ? "a link was not resolved" : "the feed was not refused");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
    state.counters["entries"] = static_cast<double>(entries);
}

void RegisterBenchmarks()
{
    for (const int mib : g_mib)
    {
        benchmark::RegisterBenchmark("HtmlTagsWithoutEnd", BM_HtmlTagsWithoutEnd)
            ->ArgName("MiB")
            ->Arg(mib)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("HtmlQuoteLeftOpen", BM_HtmlQuoteLeftOpen)
            ->ArgName("MiB")
            ->Arg(mib)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("NestedDocumentTypes", BM_NestedDocumentTypes)
            ->ArgName("MiB")
            ->Arg(mib)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("NestedBases", BM_NestedBases)
            ->ArgNames({"MiB", "absolute"})
            ->Args({mib, 1})
            ->Args({mib, 0})
            ->Unit(benchmark::kMillisecond);
    }
}

// Takes --mib=a,b,c out of argv, leaving the benchmark flags.
void ParseFlags(int& argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strncmp(argv[i], "--mib=", 6) == 0)
        {
            g_mib.clear();
            std::stringstream list(argv[i] + 6);
            for (std::string size; std::getline(list, size, ',');)
                g_mib.push_back(std::atoi(size.c_str()));
        }
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
}

} // namespace

int main(int argc, char** argv)
{
    ParseFlags(argc, argv);
    const uXmlPlatform xmlPlatform;
    benchmark::Initialize(&argc, argv);
    RegisterBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
