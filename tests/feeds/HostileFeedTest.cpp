// Feeds built to cost memory or time are refused on the real fetch path, with
// a message, and leave nothing behind.
#include "feeds/FeedStore.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedSite.h"
#include "feeds/support/FeedTestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using feedtest::U;

const std::string kRefusedPrefix = "Refused the feed: ";

// AddressSanitizer reserves terabytes of address space up front, so a limit
// on it would refuse every later allocation: there the peak figure alone
// bounds the load.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimitAddressSpace = false;
#else
constexpr bool kLimitAddressSpace = true;
#endif

std::string RssWith(const std::string& doctype, const std::string& description)
{
    return "<?xml version=\"1.0\"?>\n" + doctype +
           "<rss version=\"2.0\"><channel><title>t</title><link>http://x.test/</link>"
           "<item><title>i</title><link>http://x.test/1</link><description>" +
           description + "</description></item></channel></rss>\n";
}

// Peak resident memory so far, in kB (the high-water mark starts anew in a forked child).
long PeakKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}
long CurrentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class HostileFeedTest : public testing::Test
{
protected:
    HostileFeedTest() { CPreference::GetInstance(); }

    bool TempIsEmpty() const { return std::filesystem::is_empty(config.data("temp")); }

    testsupport::ConfigHome config;
    feedsite::FeedServer site;
    feedtest::ShownMessages shown;
};

// A 100 KB entity used 9,000 times would be 900 MB of text. The fetch runs in
// a child whose address space is capped at 512 MB: it must neither die nor
// grow by 100 MB, and the feed must end refused.
TEST_F(HostileFeedTest, EntityBlowUpIsRefusedInBoundedMemory)
{
    std::string uses;
    for (int i = 0; i < 9000; ++i)
        uses += "&a;";
    site.feed("/laughs", RssWith("<!DOCTYPE rss [<!ENTITY a \"" + std::string(100000, 'x') + "\">]>", uses));
    const std::string url = site.url("/laughs");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        rlimit limit{512L << 20, 512L << 20};
        if (kLimitAddressSpace)
            ::setrlimit(RLIMIT_AS, &limit);
        const long before = CurrentKb();
        CFeedStore store;
        const bool fetched = store.FetchFeed(U(url), 30, false, false);
        const long grown = PeakKb() - before;
        std::fprintf(stderr, "entity feed: peak grew by %ld kB\n", grown);
        const bool refused = !fetched && store.errorCode == CFeedStore::kDocumentRefused;
        ::_exit(refused && grown < 100 * 1024 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died from signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "not refused, or memory grew by 100 MB or more";
    EXPECT_TRUE(TempIsEmpty());
}

// One byte over 64 MiB: refused whether the size is announced or only seen
// while the body streams in, on the refresh path (into a file) and on the
// subscription path (into memory, with the message box), with no temp file left.
TEST_F(HostileFeedTest, FeedOver64MiBIsRefusedAndLeavesNoTempFile)
{
    std::string body = RssWith("", "d");
    body.insert(body.find("<item>"), std::string((65 << 20) - body.size(), ' '));
    testsupport::HttpResponse announced = testsupport::TextResponse(200, body, "application/rss+xml");
    testsupport::HttpResponse streamed = announced;
    streamed.chunked = true;
    streamed.dripBytes = 1 << 20;
    streamed.dripMs = 1;
    site.server().serve("/announced", announced);
    site.server().serve("/streamed", streamed);

    for (const char* path : {"/announced", "/streamed"})
    {
        SCOPED_TRACE(path);
        CFeedStore refresh;
        EXPECT_FALSE(refresh.FetchFeed(U(site.url(path)), 30, false, false));
        EXPECT_EQ(refresh.errorCode, CFeedStore::kDocumentRefused);
        EXPECT_EQ(feedtest::S(refresh.errorText), kRefusedPrefix + "the document is larger than 64 MiB");
        EXPECT_TRUE(TempIsEmpty());

        CFeedStore subscribe(U(site.url(path)), true);
        EXPECT_EQ(subscribe.errorCode, CFeedStore::kDocumentRefused);
        EXPECT_TRUE(TempIsEmpty());
    }
    EXPECT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown().back(), kRefusedPrefix + "the document is larger than 64 MiB");
}

// 2,000 nested elements are refused before any tree is built; a feed well
// inside the bound still reads.
TEST_F(HostileFeedTest, DeepNestingIsRefused)
{
    auto nested = [](int depth)
    {
        std::string open, close;
        for (int i = 0; i < depth; ++i)
            open += "<b>", close += "</b>";
        return open + close;
    };
    site.feed("/deep", RssWith("", nested(2000)));
    site.feed("/shallow", RssWith("", nested(900)));

    CFeedStore deep;
    EXPECT_FALSE(deep.FetchFeed(U(site.url("/deep")), 30, false, false));
    EXPECT_EQ(deep.errorCode, CFeedStore::kDocumentRefused);
    EXPECT_EQ(feedtest::S(deep.errorText), kRefusedPrefix + "its elements nest deeper than 1000 levels");

    CFeedStore shallow;
    EXPECT_TRUE(shallow.FetchFeed(U(site.url("/shallow")), 30, false, false));
    EXPECT_EQ(shallow.items.size(), 1u);
    EXPECT_TRUE(TempIsEmpty());
}

} // namespace
