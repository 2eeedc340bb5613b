#include "mainwindow/HtmlCtrlPolicy.h"

#include <gtest/gtest.h>

TEST(HtmlCtrlPolicyTest, FeedLinksOpenOnlyWebPagesAndFilesInsideTheDataFolder)
{
    const uString data("/home/amy/Documents/Kestrova");
    auto shows = [&](const char* address) { return htmlctrl::MayShowFromFeed(uString(address), data); };

    EXPECT_TRUE(shows("http://example.org/story"));
    EXPECT_TRUE(shows("HTTPS://example.org/story"));
    EXPECT_TRUE(shows("ftp://example.org/file.txt"));
    EXPECT_TRUE(shows("file:///home/amy/Documents/Kestrova/library/My%20Archive/a.html"));
    EXPECT_TRUE(shows("file://localhost/home/amy/Documents/Kestrova/cache/page.html#top"));

    for (const char* refused :
         {"javascript:document.title='X'", " javascript:alert(1)", "JavaScript:alert(1)",
          "data:text/html,<script>alert(1)</script>", "about:blank", "app:refresh", "mailto:amy@example.org",
          "vbscript:x", "http:", "", "file:///etc/passwd", "file:///home/amy/Documents/Kestrova",
          "file:///home/amy/Documents/KestrovaX/a", "file:///home/amy/Documents/Kestrova/../.ssh/id_rsa",
          "file:///home/amy/Documents/Kestrova/%2E%2E/.ssh/id_rsa",
          "file:///home/amy/Documents/Kestrova/a%00/../../../../etc/passwd",
          "file://other.host/home/amy/Documents/Kestrova/a", "file:relative/a"})
        EXPECT_FALSE(shows(refused)) << refused;

    // Without a data folder no file is shown at all.
    EXPECT_FALSE(htmlctrl::MayShowFromFeed(uString("file:///a/b.html"), uString()));
}
