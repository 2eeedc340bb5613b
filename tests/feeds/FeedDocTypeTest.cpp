#include "feeds/FeedDocType.h"

#include "feeds/support/FeedTestSupport.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace testsupport;
using namespace feedtest;

TEST(FeedDocTypeTest, TellsEachKindOfDocument)
{
    TempDir dir;
    auto kindOf = [&](const std::string& content)
    { return CFeedDocType(uFile(dir.write("doc", content).c_str()), "http://site.test/doc").GetKind(); };

    EXPECT_EQ(kindOf("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel/></rss>"), CFeedDocType::kRss);
    EXPECT_EQ(kindOf("<OPML version=\"1.0\"><body/></OPML>"), CFeedDocType::kOpml);
    EXPECT_EQ(kindOf("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>t</title></feed>"),
              CFeedDocType::kOther);
    EXPECT_EQ(
        kindOf("<HTML><head><TITLE>x</TITLE></head><BODY>\n" + std::string(200000, 'x') + "</body></html>"),
        CFeedDocType::kWebPage);
    EXPECT_EQ(kindOf("<html><body>no title</body></html>"), CFeedDocType::kOther);
    EXPECT_EQ(CFeedDocType(uFile(dir.file("absent").c_str()), "u").GetKind(), CFeedDocType::kOther);

    CFeedDocType redirect(
        uFile(dir.write("r", "<redirect><newLocation> http://new.test/feed.xml\n</newLocation>"
                             "</redirect>")
                  .c_str()),
        "http://site.test/old");
    EXPECT_TRUE(redirect.IsRedirect());
    EXPECT_EQ(S(redirect.GetURL()), "http://new.test/feed.xml");

    // A blank before newLocation is the first child; and a document pointing at itself is no redirect.
    EXPECT_EQ(kindOf("<redirect>\n  <newLocation>http://new.test/</newLocation></redirect>"),
              CFeedDocType::kOther);
    CFeedDocType itself(
        uFile(dir.write("self", "<redirect><newLocation>http://site.test/doc</newLocation></redirect>")
                  .c_str()),
        "http://site.test/doc");
    EXPECT_FALSE(itself.IsRedirect());
    EXPECT_EQ(S(itself.GetURL()), "http://site.test/doc");
}

TEST(FeedDocTypeTest, ReadsNoExternalDefinitionsOrEntities)
{
    TempDir dir;
    LocalHttpServer server;
    server.serve("/xhtml1-strict.dtd", TextResponse(200, "<!ENTITY nbsp \"&#160;\">", "application/xml-dtd"));
    const std::string xhtml =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"" +
        server.url("/xhtml1-strict.dtd") + "\">\n<html><head><title>t</title></head><body>x</body></html>";
    EXPECT_EQ(CFeedDocType(uFile(dir.write("page.xhtml", xhtml).c_str()), "u").GetKind(),
              CFeedDocType::kWebPage);
    EXPECT_EQ(server.requestCount(), 0u);

    const std::string secret = dir.write("secret.txt", "TOPSECRET");
    CFeedDocType entity(
        uFile(dir.write("r.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE redirect [<!ENTITY s SYSTEM \"file://" +
                                     secret +
                                     "\">]>\n<redirect><newLocation>http://x.test/&s;"
                                     "</newLocation></redirect>")
                  .c_str()),
        "u");
    EXPECT_EQ(S(entity.GetURL()).find("TOPSECRET"), std::string::npos);
}
