#include "mainwindow/ItemPage.h"

#include "support/GermanInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

using testsupport::TempDir;

namespace
{
std::string Fill(const char* templateText, const itempage::Fields& fields)
{
    return itempage::FillTemplate(uString(templateText), fields).c_str();
}

itempage::Fields SampleFields()
{
    itempage::Fields fields;
    fields.title = "Rock & <b>Roll</b> ##link##";
    fields.description = "<p>Story with ##enclosure## and <i>markup</i></p>";
    fields.enclosure = "http://127.0.0.1/a.mp3?x=1&y=\"2\"";
    fields.link = "http://127.0.0.1/story?id=1&page=2";
    return fields;
}
} // namespace

TEST(ItemPage, FillsEveryPlaceholderOnceEscapingTextButNotTheDescription)
{
    std::string page = Fill(
        "<h1>##title##</h1>##description##[##enclosure##](##link##) ##title## ##other## #", SampleFields());
    EXPECT_EQ(page,
              "<h1>Rock &amp; &lt;b&gt;Roll&lt;/b&gt; ##link##</h1>"
              "<p>Story with ##enclosure## and <i>markup</i></p>"
              "[http://127.0.0.1/a.mp3?x=1&amp;y=&quot;2&quot;](http://127.0.0.1/story?id=1&amp;page=2) "
              "Rock &amp; &lt;b&gt;Roll&lt;/b&gt; ##link## ##other## #");

    // Without placeholders the template comes back unchanged; empty values
    // remove their placeholder.
    EXPECT_EQ(Fill("<p>plain</p>", SampleFields()), "<p>plain</p>");
    EXPECT_EQ(Fill("a##title##b##enclosure##c", itempage::Fields()), "abc");
}

TEST(ItemPage, RefusesLinksThatCouldRunCode)
{
    itempage::Fields fields;
    fields.link = "javascript:alert(1)";
    fields.enclosure = "data:text/html,<script>x</script>";
    EXPECT_EQ(Fill("<a href=\"##link##\">##enclosure##</a>", fields), "<a href=\"\"></a>");

    fields.link = "FTP://127.0.0.1/x";
    fields.enclosure = "rtsp://127.0.0.1/live";
    EXPECT_EQ(Fill("##link## ##enclosure##", fields), "FTP://127.0.0.1/x rtsp://127.0.0.1/live");
}

TEST(ItemPage, PagePolicyComesFirstButAfterADoctype)
{
    std::string meta = itempage::PagePolicyMeta();
    EXPECT_NE(meta.find("script-src 'none'"), std::string::npos);
    EXPECT_EQ(std::string(itempage::WithPagePolicy(uString("<html>x</html>")).c_str()),
              meta + "<html>x</html>");
    EXPECT_EQ(std::string(itempage::WithPagePolicy(uString("\n<!DOCTYPE html>\n<html>")).c_str()),
              "\n<!DOCTYPE html>" + meta + "\n<html>");
}

TEST(ItemPage, FallbackAndChannelImagePages)
{
    std::string fallback = itempage::FallbackPage(uString("A<B"), uString("<p>d</p>")).c_str();
    EXPECT_EQ(fallback, "<html><head><meta content=\"text/html;charset=utf-8\" http-equiv=\"Content-Type\">"
                        "<title>A&lt;B</title></head><body><p>d</p></body></html>");

    CChannelRecord channel;
    channel.title = "News";
    channel.imageUrl = "http://127.0.0.1/logo.png";
    EXPECT_TRUE(itempage::ChannelImagePage(channel).isEmpty()) << "no image link";
    channel.imageLink = "http://127.0.0.1/";
    std::string bare = itempage::ChannelImagePage(channel).c_str();
    EXPECT_NE(
        bare.find("<center><a  href=\"http://127.0.0.1/\"><img src=\"http://127.0.0.1/logo.png\" border=0>"
                  "</a></center>\n"),
        std::string::npos)
        << bare;

    channel.imageTitle = "Say \"hi\" onmouseover=x";
    channel.imageWidth = "88";
    channel.imageHeight = "31 onload=x";
    std::string full = itempage::ChannelImagePage(channel).c_str();
    EXPECT_NE(full.find("<a alt=\"Say &quot;hi&quot; onmouseover=x\" href=\"http://127.0.0.1/\">"
                        "<img src=\"http://127.0.0.1/logo.png\" border=0 width=88></a>"),
              std::string::npos)
        << full;
}

TEST(ItemPage, EnclosureReferencePrefersTheLocalFile)
{
    TempDir configured, startup;
    configured.write("My Music/Show #1/ep 1%.mp3", "x");
    startup.write("My Download/Other/setup.bin", "x");
    uFile configuredDir(configured.path().c_str()), startupDir(startup.path().c_str());

    CItemRecord item;
    item.enclosureLink = "http://127.0.0.1/ep1.mp3";
    EXPECT_STREQ(itempage::EnclosureReference(item, 1, configuredDir, startupDir).c_str(),
                 "http://127.0.0.1/ep1.mp3");

    // A downloaded file: the pane's own scheme, and the path the page may reach.
    item.enclosureFile = "My Music/Show #1/ep 1%.mp3";
    uString local;
    EXPECT_EQ(std::string(itempage::EnclosureReference(item, 1, configuredDir, startupDir, &local).c_str()),
              "kestrova://file" + configured.path() + "/My%20Music/Show%20%231/ep%201%25.mp3");
    EXPECT_EQ(std::string(local.c_str()), configured.path() + "/My Music/Show #1/ep 1%.mp3");

    // Not under the configured library: the start-up library; kind 3 names the folder.
    item.enclosureFile = "My Download/Other/setup.bin";
    EXPECT_EQ(std::string(itempage::EnclosureReference(item, 3, configuredDir, startupDir, &local).c_str()),
              "kestrova://file" + startup.path() + "/My%20Download/Other/");
    EXPECT_EQ(std::string(local.c_str()), startup.path() + "/My Download/Other/");
}

TEST(ItemPage, RendersTheKindsTemplateOrTheFallback)
{
    TempDir folder;
    folder.write("news.template", "N:##title##");
    folder.write("audio.template", "A:##enclosure##");
    folder.write("video.template", "V:##title##");
    folder.write("cdrom.template", "C:##link##");
    itempage::Fields fields = SampleFields();
    uString dir(folder.path().c_str());
    EXPECT_EQ(std::string(itempage::RenderItem(dir, 0, fields).c_str()).substr(0, 2), "N:");
    EXPECT_EQ(std::string(itempage::RenderItem(dir, 1, fields).c_str()).substr(0, 2), "A:");
    EXPECT_EQ(std::string(itempage::RenderItem(dir, 6, fields).c_str()).substr(0, 2), "V:");
    EXPECT_EQ(std::string(itempage::RenderItem(dir, 5, fields).c_str()).substr(0, 2), "C:");

    std::string fallback = itempage::RenderItem(uString(folder.file("missing").c_str()), 0, fields).c_str();
    EXPECT_NE(fallback.find("<title>Rock &amp; &lt;b&gt;Roll&lt;/b&gt; ##link##</title>"), std::string::npos);
    EXPECT_NE(fallback.find("<body><p>Story with ##enclosure## and <i>markup</i></p></body>"),
              std::string::npos);
}

TEST(ItemPage, ShippedTemplatesUseEveryPlaceholder)
{
    uString dir(KESTROVA_TEMPLATE_SOURCE);
    for (int kind : {0, 1, 2, 3})
    {
        uString text;
        ASSERT_TRUE(itempage::ReadTemplate(dir, kind, text)) << itempage::TemplateName(kind);
        std::string page = text.c_str();
        for (const char* placeholder : {"##title##", "##description##", "##link##"})
            EXPECT_NE(page.find(placeholder), std::string::npos)
                << itempage::TemplateName(kind) << placeholder;
        if (kind != 0)
        {
            EXPECT_NE(page.find("##enclosure##"), std::string::npos) << itempage::TemplateName(kind);
        }
        EXPECT_EQ(page.find("://"), std::string::npos)
            << "no remote resources in " << itempage::TemplateName(kind);
    }
    // In German the shipped links read in German; the words inside a text
    // of the user's, and the feed's own, stay.
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    itempage::Fields fields = SampleFields();
    fields.description = "<a>Watch this video</a>";
    const std::pair<int, const char*> links[] = {{0, ">Den ganzen Artikel auf der Website lesen<"},
                                                 {1, ">Diese Folge anhören<"},
                                                 {2, ">Dieses Video ansehen<"},
                                                 {3, ">Den Anhang öffnen<"}};
    for (const auto& [kind, link] : links)
    {
        std::string page = itempage::RenderItem(dir, kind, fields).c_str();
        EXPECT_NE(page.find(link), std::string::npos) << itempage::TemplateName(kind);
        EXPECT_EQ(page.find(">Read the full story on the website<"), std::string::npos);
        EXPECT_NE(page.find("<a>Watch this video</a>"), std::string::npos) << "the feed's own words";
    }
    TempDir edited;
    edited.write("news.template", "<p>Read the full story on the website, or not.</p>");
    EXPECT_STREQ(itempage::RenderItem(uString(edited.path().c_str()), 0, fields).c_str(),
                 "<p>Read the full story on the website, or not.</p>");
}

TEST(ItemPage, RelativeReferencesOfTheTextResolveAgainstTheItem)
{
    auto resolve = [](const char* html)
    {
        return std::string(
            itempage::ResolveReferences(uString(html), "http://site.test/news/7.html?x=1").c_str());
    };
    EXPECT_EQ(resolve("<a href=\"timetable.html\">t</a><IMG SRC=map.png alt='x'>"),
              "<a href=\"http://site.test/news/timetable.html\">t</a>"
              "<IMG SRC=\"http://site.test/news/map.png\" alt='x'>");
    EXPECT_EQ(resolve("<a href='../up/a.html'>u</a><a href=\"/root\">r</a><a href=\"//cdn.test/c.js\">c</a>"),
              "<a href=\"http://site.test/up/a.html\">u</a><a href=\"http://site.test/root\">r</a>"
              "<a href=\"http://cdn.test/c.js\">c</a>");
    EXPECT_EQ(resolve("<img srcset=\"s.png 1x, big/l.png 2x\" poster=p.jpg>"),
              "<img srcset=\"http://site.test/news/s.png 1x, http://site.test/news/big/l.png 2x\" "
              "poster=\"http://site.test/news/p.jpg\">");
    // A reference is read as the browser reads it: character references decoded,
    // and written back escaped.
    EXPECT_EQ(resolve("<a href=\"a.html?b=1&amp;c=2\">q</a>"),
              "<a href=\"http://site.test/news/a.html?b=1&amp;c=2\">q</a>");
    // Kept: schemes, places in the page, text, comments, script and style text.
    const char* kept =
        "<a href=\"https://other.test/\">o</a><a href=\"#top\">t</a><a href=\"mailto:a@b.test\">m</a>"
        "<p title=\"src=x.png\">1 < 2 src=y.png</p><!-- <img src=c.png> -->"
        "<style>b { background: url(s.png) }</style>";
    EXPECT_EQ(resolve(kept), kept);
    // A base of the text's own would move the template's references too.
    EXPECT_EQ(resolve("<base href=\"http://evil.test/\"><img src=\"m.png\">"),
              "<img src=\"http://site.test/news/m.png\">");
    // Without an absolute base nothing changes.
    EXPECT_EQ(std::string(itempage::ResolveReferences(uString("<img src=m.png>"), uString("")).c_str()),
              "<img src=m.png>");
}

// Only a network address is a base: an item link naming the reader's own
// files (or no place at all) must not turn the text's references into them.
TEST(ItemPage, OnlyANetworkAddressIsABaseForTheText)
{
    const char* text = "<a href=\"passwd\">p</a><img src=\"//host/x\">";
    for (const char* base : {"file:///etc/", "FILE:///etc/", "file://localhost/etc/", "File:/etc/",
                             "urn:uuid:6e8bc430-9c3a-11d9-9669", "tag:site.test,2024:7", "/etc/"})
        EXPECT_EQ(std::string(itempage::ResolveReferences(uString(text), uString(base)).c_str()), text)
            << base;
    EXPECT_EQ(
        std::string(itempage::ResolveReferences(uString(text), uString("HTTPS://Site.test/a/b")).c_str()),
        "<a href=\"HTTPS://Site.test/a/passwd\">p</a><img src=\"HTTPS://host/x\">");
    EXPECT_EQ(
        std::string(itempage::ResolveReferences(uString(text), uString("ftp://files.test/pub/")).c_str()),
        "<a href=\"ftp://files.test/pub/passwd\">p</a><img src=\"ftp://host/x\">");
}
