#include "feeds/PageSave.h"

#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedTestSupport.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>

using namespace testsupport;
using namespace feedtest;

namespace
{

const char kPage[] = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html\">\n"
                     "<meta name=\"description\" content=\"skipped\"><meta charset=\"utf-8\" />\n"
                     "<title>Item</title><link rel=\"stylesheet\" href=\"s.css\"><link href=\"no-rel.css\">\n"
                     "<style>p { color: red }</style><script>var head = 1;</script></head>\n"
                     "<body class=\"item\"><p>Before <i>it</i></p>"
                     "<script type=\"text/javascript\">document.write('<b>gone</b>');</script>"
                     "<a aria-label=\"next\" href=\"next.html\">Next</a><br/><!-- note --></body></html>";

const char kRewritten[] =
    "<meta http-equiv=\"Content-Type\" content=\"text/html\">\r\n"
    "<meta charset=\"utf-8\" />\r\n"
    "<base href=\"BASE\">\r\n"
    "<link rel=\"stylesheet\" href=\"s.css\">\r\n"
    "<style>\r\np { color: red }\r\n</style>\r\n"
    "<body class=\"item\">\r\n<p>\r\nBefore\r\n<i>\r\nit\r\n</i>\r\n</p>\r\n"
    "<a aria-label=\"next\" href=\"next.html\">\r\nNext\r\n</a>\r\n<br />\r\n</br>\r\n</body>\r\n";

std::string Rewritten(const std::string& base)
{
    std::string text = kRewritten;
    text.replace(text.find("BASE"), 4, base);
    return text;
}

class PageSaveTest : public ::testing::Test
{
protected:
    ~PageSaveTest() override { CPageSaveTask::CancelAllAndWait(30000); }

    void save(const std::string& url, const std::string& target)
    {
        new CPageSaveTask(U(url), uFile(target.c_str()), true);
        ASSERT_TRUE(CPageSaveTask::WaitAll(30000));
    }

    ConfigHome config; // released after the tasks are cancelled
    TempDir dir;
    LocalHttpServer server;
};

} // namespace

TEST_F(PageSaveTest, SavesTheReducedPageBasedOnTheUrlReached)
{
    server.serve("/dir/page.html", TextResponse(200, kPage, "text/html"));
    server.redirect("/go", "/dir/page.html");
    const std::string target = dir.file("saved.html");
    save(server.url("/go"), target);
    EXPECT_EQ(ReadFileBytes(target), Rewritten(server.url("/dir/")));
    EXPECT_FALSE(FileExists(target + ".part"));
    // Saving again replaces the copy with the same bytes, never appends to it.
    save(server.url("/dir/page.html"), target);
    EXPECT_EQ(ReadFileBytes(target), Rewritten(server.url("/dir/")));

    // The page's own base is kept, escaped.
    server.serve("/a.html", TextResponse(200, "<head><base href='/x\"><script>y'></head><body>b</body>"));
    save(server.url("/a.html"), target);
    EXPECT_EQ(ReadFileBytes(target), "<base href=\"" + server.url("/x&quot;&gt;&lt;script&gt;y/") +
                                         "\">\r\n<body>\r\nb\r\n</body>\r\n");
}

TEST_F(PageSaveTest, AFailedSaveLeavesNeitherTargetNorPart)
{
    const std::string target = dir.file("missing.html");
    save(server.url("/missing.html"), target);
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(FileExists(target + ".part"));
    // An existing copy survives a failed attempt to save it again.
    save(server.url("/missing.html"), dir.write("kept.html", "old copy"));
    EXPECT_EQ(ReadFileBytes(dir.file("kept.html")), "old copy");
}

TEST_F(PageSaveTest, OneTaskPerTargetAndCancelledTasksEndWithoutLeftovers)
{
    // The answer waits for the test (or, should the test fail, half a minute).
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    server.route("/slow.html",
                 // By value: should an assertion end the test early, the
                 // server thread must not wait on a future that is gone.
                 [released](const HttpRequest&)
                 {
                     released.wait_for(std::chrono::seconds(30));
                     return TextResponse(200, "<body>slow</body>", "text/html");
                 });
    const std::string target = dir.file("slow.html");
    new CPageSaveTask(U(server.url("/slow.html")), uFile(target.c_str()), true);
    for (int i = 0; i < 3000 && server.requestCount() == 0; ++i)
        SleepMs(10);
    ASSERT_EQ(server.requestCount(), 1u);

    // A second save of the same target while the first runs ends at once.
    CPageSaveTask second;
    second.SetURL(U(server.url("/slow.html")));
    second.SetTarget(uFile(target.c_str()));
    second.Run();
    EXPECT_EQ(server.requestCount(), 1u);

    release.set_value();
    ASSERT_TRUE(CPageSaveTask::WaitAll(30000));
    EXPECT_EQ(ReadFileBytes(target),
              "<base href=\"" + server.url("/") + "\">\r\n<body>\r\nslow\r\n</body>\r\n");

    // A stalled page: cancelling ends the task, and it leaves nothing behind.
    HttpResponse stalled = TextResponse(200, "never");
    stalled.stallAfterHeaders = true;
    server.serve("/stalled.html", stalled);
    const std::string stalledTarget = dir.file("stalled.html");
    new CPageSaveTask(U(server.url("/stalled.html")), uFile(stalledTarget.c_str()), true);
    EXPECT_FALSE(CPageSaveTask::WaitAll(200));
    CPreference::Release(); // cancels the save and waits for it before the configuration goes
    EXPECT_TRUE(CPageSaveTask::WaitAll(0));
    EXPECT_FALSE(FileExists(stalledTarget));
    EXPECT_FALSE(FileExists(stalledTarget + ".part"));
}
