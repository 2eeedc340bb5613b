// libFuzzer target for the feed readers: any bytes loaded as XML and read as
// RSS, RDF and Atom must give records without a memory error or a hang. Build
// as fuzz_html_parser (see there), then
//   build-fuzz/tests/fuzz_feed_parse -max_total_time=300 -close_fd_mask=2
#include "feeds/FeedStore.h"
#include "foundation/uXml.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static uXmlPlatform guard;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    uXmlDocument document;
    document.loadXml(text.c_str(), true, false, false, false);
    if (!document.getDocumentElement())
        return 0;
    // Every reader on every document: the root name only picks one of them
    // in the program, and each must cope with anything.
    // With an address, so that relative links and xml:base are resolved.
    CFeedStore rss("/nonexistent");
    rss.documentAddress = "http://fuzz.test/a/b/feed.xml?q=1";
    rss.ParseRssFeed(new uXmlNode(document.getDocumentElement()));
    CFeedStore rdf("/nonexistent");
    rdf.documentAddress = rss.documentAddress;
    rdf.ParseRdfFeed(new uXmlNode(document.getDocumentElement()));
    CFeedStore atom("/nonexistent");
    atom.documentAddress = rss.documentAddress;
    atom.ParseAtomFeed(new uXmlNode(document.getDocumentElement()));
    if (rss.parseDepth != 0 || rdf.parseDepth != 0 || atom.parseDepth != 0)
        __builtin_trap();
    // The dates of the items went through the normaliser; feed it the raw
    // text too.
    CFeedStore::NormalizeDate(text.c_str());
    return 0;
}
