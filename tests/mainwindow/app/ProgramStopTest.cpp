// The real program under the test's X server: a SIGTERM (as a desktop sends
// at logout) closes it like File > Exit, and a socket that another process
// holds does not keep it from starting.
#include "RealProgram.h"
#include "foundation/uCurlTransfer.h"
#include "foundation/uHash.h"
#include "foundation/uUrl.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/KestrovaApp.h"
#include "support/ChildProcess.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

namespace fs = std::filesystem;

// A stop ends the program within 3 s, from the signal to the process's end.
constexpr int kStopBoundMs = 3000;

class ProgramStopTest : public testing::Test
{
protected:
    ProgramStopTest()
    {
        fs::create_directories(m_runtime);
        fs::permissions(m_runtime, fs::perms::owner_all);
    }

    std::unique_ptr<testsupport::ChildProcess> Start()
    {
        return realprogram::StartKestrova(m_home.file("kestrova.log"), m_runtime);
    }

    std::string ReadConfig() const
    {
        std::ifstream in(m_home.file("Documents/Kestrova/config.xml"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testsupport::TempHome m_home;
    std::string m_runtime = m_home.file("run");
    testsupport::ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime};
};

// A refresh rate of 0 is made 5 in the settings when the window is created;
// only a close that saves writes that down.
TEST_F(ProgramStopTest, SigtermSavesTheSettingsLikeExit)
{
    fs::create_directories(m_home.file("Documents/Kestrova"));
    std::ofstream(m_home.file("Documents/Kestrova/config.xml"))
        << "<?xml version=\"1.0\"?><Preference><general nRefreshRate=\"0\" "
           "nStartupMode=\"0\"/></Preference>\n";
    // From a folder whose path holds a colon, and no link can be made in the
    // runtime folder: the folder made for it goes with the stop.
    fs::create_directory_symlink(std::getenv("KESTROVA_PROGRAM_DIR"), m_home.file("a:b"));
    fs::create_directories(m_runtime + "/kestrova/kestrova-disposition.so");
    fs::permissions(m_runtime + "/kestrova", fs::perms::owner_all);
    fs::create_directories(m_home.file("tmp"));
    testsupport::ScopedEnv programs("KESTROVA_PROGRAM_DIR", m_home.file("a:b"));
    testsupport::ScopedEnv temporary("TMPDIR", m_home.file("tmp"));
    auto program = Start();
    ASSERT_TRUE(realprogram::WaitUntilListening(*program)) << program->log();
    EXPECT_FALSE(fs::is_empty(m_home.file("tmp")));
    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(kStopBoundMs), 0) << "ends within 3 s, with success\n" << program->log();
    EXPECT_TRUE(fs::is_empty(m_home.file("tmp")));
    EXPECT_NE(ReadConfig().find("nRefreshRate=\"5\""), std::string::npos) << ReadConfig();
    EXPECT_TRUE(fs::exists(m_home.file("Documents/Kestrova/auth.xml")));
    EXPECT_FALSE(fs::exists(CInstanceChannel::SocketPath(CKestrovaApp::kInstanceGuid)))
        << "the socket goes with the program";
}

// The link folders a start made in the temporary folder.
std::vector<fs::path> MadeFolders(const std::string& temporary)
{
    std::vector<fs::path> made;
    for (const fs::directory_entry& entry : fs::directory_iterator(temporary))
        made.push_back(entry.path());
    std::sort(made.begin(), made.end());
    return made;
}

// A run ended by SIGKILL leaves the folder it made for the link: the next
// start removes it. The folder of a copy that runs (as a second start finds
// it), and one holding anything else, stay.
TEST_F(ProgramStopTest, AStartRemovesTheLinkFolderOfAKilledRunOnly)
{
    fs::create_directory_symlink(std::getenv("KESTROVA_PROGRAM_DIR"), m_home.file("a:b"));
    fs::create_directories(m_runtime + "/kestrova/kestrova-disposition.so");
    fs::permissions(m_runtime + "/kestrova", fs::perms::owner_all);
    const std::string kept = m_home.file("tmp/kestrova-" + std::to_string(::getuid()) + "-Kept00");
    fs::create_directories(kept);
    fs::permissions(kept, fs::perms::owner_all);
    fs::create_symlink(m_home.file("a:b/kestrova-disposition.so"), kept + "/kestrova-disposition.so");
    std::ofstream(kept + "/notes") << "the user's";
    // Nothing but a link named as the program's, which leads to another library.
    const std::string other = m_home.file("tmp/kestrova-" + std::to_string(::getuid()) + "-Other0");
    fs::create_directories(other);
    fs::permissions(other, fs::perms::owner_all);
    std::ofstream(m_home.file("libm.so.6")) << "";
    fs::create_symlink(m_home.file("libm.so.6"), other + "/kestrova-disposition.so");
    testsupport::ScopedEnv programs("KESTROVA_PROGRAM_DIR", m_home.file("a:b"));
    testsupport::ScopedEnv temporary("TMPDIR", m_home.file("tmp"));

    auto killed = Start();
    ASSERT_TRUE(realprogram::WaitUntilListening(*killed)) << killed->log();
    const std::vector<fs::path> left = MadeFolders(m_home.file("tmp"));
    ASSERT_EQ(left.size(), 3u);
    killed->signal(SIGKILL);
    killed->waitForExit(10000);
    EXPECT_EQ(MadeFolders(m_home.file("tmp")), left) << "a kill removes nothing";

    auto program = Start();
    ASSERT_TRUE(realprogram::WaitUntilListening(*program)) << program->log();
    const std::vector<fs::path> running = MadeFolders(m_home.file("tmp"));
    ASSERT_EQ(running.size(), 3u);
    EXPECT_EQ(std::count(running.begin(), running.end(), fs::path(kept)), 1);
    EXPECT_EQ(std::count(running.begin(), running.end(), fs::path(other)), 1);
    EXPECT_EQ(std::count_if(left.begin(), left.end(),
                            [&](const fs::path& folder)
                            { return std::count(running.begin(), running.end(), folder) != 0; }),
              2)
        << "the killed run's folder is gone";
    auto second = Start();
    EXPECT_EQ(second->waitForExit(60000), 0) << second->log();
    EXPECT_EQ(MadeFolders(m_home.file("tmp")), running);
    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(kStopBoundMs), 0) << program->log();
    EXPECT_EQ(MadeFolders(m_home.file("tmp")), (std::vector<fs::path>{kept, other}));
}

// A stop while a prompt of the start waits for an answer: the prompt goes and
// the program closes as File > Exit does. Once for damaged settings (told
// when the window stands) and once for a damaged tree (told while the window
// is being built).
TEST_F(ProgramStopTest, SigtermDuringAStartPromptEndsTheProgram)
{
    struct Damage
    {
        const char* file;
        const char* logged; // printed just before the prompt shows
    };
    for (const Damage& damage : {Damage{"config.xml", "was damaged and has been kept"},
                                 Damage{"subscription/config.xml", "The unreadable subscription tree"}})
    {
        SCOPED_TRACE(damage.file);
        fs::create_directories(m_home.file("Documents/Kestrova/subscription"));
        std::ofstream(m_home.file(std::string("Documents/Kestrova/") + damage.file)) << "<Kestrova><channel";
        auto program = Start();
        for (int i = 0;
             i < 300 && program->running() && program->log().find(damage.logged) == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_NE(program->log().find(damage.logged), std::string::npos) << program->log();
        std::this_thread::sleep_for(std::chrono::seconds(2)); // the prompt is up
        program->signal(SIGTERM);
        EXPECT_EQ(program->waitForExit(kStopBoundMs), 0) << "ends within 3 s, with success\n"
                                                         << program->log();
        EXPECT_NE(ReadConfig().find("<Preference"), std::string::npos) << "the settings are saved";
        program.reset();
        fs::remove_all(m_home.file("Documents/Kestrova"));
    }
}

// A stop as soon as the program runs (its link to its library stands), long
// before the toolkit is up: it still ends as File > Exit does.
TEST_F(ProgramStopTest, SigtermAsTheProgramStartsEndsItLikeExit)
{
    fs::create_directory_symlink(std::getenv("KESTROVA_PROGRAM_DIR"), m_home.file("a:b"));
    testsupport::ScopedEnv programs("KESTROVA_PROGRAM_DIR", m_home.file("a:b"));
    auto program = Start();
    const std::string link = m_runtime + "/kestrova/kestrova-disposition.so";
    for (int i = 0; i < 30000 && program->running() && !fs::is_symlink(link); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(30000), 0) << program->log();
    EXPECT_NE(ReadConfig().find("<Preference"), std::string::npos) << "the settings are saved";
}

// The count a query of a list database gives; -1 when the file cannot be read.
int CountIn(const std::string& database, const char* query)
{
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, query, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

// Feeds of a list that the start-up refresh has tried: their last update is
// no longer the one they were stored with.
int TriedFeeds(const std::string& database)
{
    return CountIn(database, "SELECT count(*) FROM channel WHERE lastupdate > '2000-01-01 00:00:00'");
}

// Feeds of a list whose item (one each) is stored.
int RefreshedFeeds(const std::string& database)
{
    return CountIn(database, "SELECT count(DISTINCT link) FROM item");
}

// An open list of feeds that all fail at once (nothing listens at their
// address) ends its update tasks faster than the refresh starts them, and
// every feed of the list is relabelled when the refresh ends. A SIGTERM in
// the middle of that refresh closes the program as File > Exit does, within
// the bound.
TEST_F(ProgramStopTest, SigtermDuringARefreshOfManyFailingFeedsEndsTheProgram)
{
    constexpr int kFeeds = 2000;
    const std::string data = m_home.file("Documents/Kestrova");
    fs::create_directories(data + "/subscription");
    std::ofstream(data + "/config.xml") << "<?xml version=\"1.0\"?><Preference><general nRefreshRate=\"0\" "
                                           "nStartupMode=\"0\"/></Preference>\n";
    std::ofstream(data + "/subscription/config.xml")
        << "<?xml version=\"1.0\"?>\n<Kestrova><channel name=\"Feeds\" type=\"newsfeed\">"
           "<newsfeed name=\"Imported\" url=\"imported.mdb\" status=\"expand\"/></channel></Kestrova>\n";
    const std::string list = data + "/subscription/imported.mdb";
    fs::copy_file(KESTROVA_LIST_TEMPLATE, list);
    const testsupport::ClosedPort closed;
    const std::string base = closed.url("/feed/");
    std::string sql = "BEGIN;";
    for (int i = 0; i < kFeeds; ++i)
        sql += "INSERT INTO channel (feed, title, lastupdate) VALUES ('" + base + std::to_string(i) +
               "', '', '2000-01-01 00:00:00');";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(list.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, (sql + "COMMIT;").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    auto program = Start();
    for (int i = 0; i < 1200 && program->running() && TriedFeeds(list) < kFeeds / 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GE(TriedFeeds(list), kFeeds / 2) << "the refresh is under way\n" << program->log();
    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(kStopBoundMs), 0) << "ends within 3 s, with success\n" << program->log();
    EXPECT_NE(ReadConfig().find("nRefreshRate=\"5\""), std::string::npos) << "the settings are saved";
}

// A list "Cookies" in the subscription tree holding these feeds, each due.
std::string SubscribeList(const std::string& data, const std::vector<std::string>& feeds)
{
    std::ofstream(data + "/subscription/config.xml")
        << "<?xml version=\"1.0\"?>\n<Kestrova><channel name=\"Feeds\" type=\"newsfeed\">"
           "<newsfeed name=\"Cookies\" url=\"cookies.mdb\" status=\"expand\"/></channel></Kestrova>\n";
    std::string sql = "BEGIN;";
    for (const std::string& feed : feeds)
        sql += "INSERT INTO channel (feed, title, lastupdate) VALUES ('" + feed +
               "', '', '2000-01-01 00:00:00');";
    const std::string list = data + "/subscription/cookies.mdb";
    fs::copy_file(KESTROVA_LIST_TEMPLATE, list);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(list.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, (sql + "COMMIT;").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return list;
}

std::vector<std::string> CookieFiles(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".cookie")
            files.push_back(entry.path());
    return files;
}

// Another program holds the cookie folder's lock for the whole refresh of
// feeds that set cookies, and on past the end: every feed is still fetched,
// a SIGTERM still ends the program with its settings saved, and the close's
// last save writes every cookie the answers set. The user's copies of the
// settings, named like the program's own temporary files once were, stay.
// The lock is held until the test lets it go, far longer than the waits.
TEST_F(ProgramStopTest, ACookieFolderLockedElsewhereStopsNeitherTheRefreshNorTheClose)
{
    constexpr int kFeeds = 50;
    const std::string data = m_home.file("Documents/Kestrova");
    fs::create_directories(data + "/subscription");
    fs::create_directories(data + "/cache");
    fs::create_directories(data + "/library");
    fs::permissions(data + "/cache", fs::perms::owner_all);
    const std::vector<std::string> usersCopies = {"config.xml.backup",
                                                  "auth.xml.backup",
                                                  "auth.xml.saved1",
                                                  "subscription/config.xml.backup",
                                                  "subscription/directory.xml.backup",
                                                  "library/Kestrova.m3u.backup"};
    for (const std::string& name : usersCopies)
        std::ofstream(data + "/" + name) << "the user's own " << name << "\n";
    std::ofstream(data + "/config.xml") << "<?xml version=\"1.0\"?><Preference><general nRefreshRate=\"0\" "
                                           "nStartupMode=\"0\"/></Preference>\n";
    testsupport::LocalHttpServer server;
    std::vector<std::string> feeds;
    for (int i = 0; i < kFeeds; ++i)
    {
        const std::string path = "/feed/" + std::to_string(i);
        server.serve(path,
                     testsupport::TextResponse(200,
                                               "<rss version=\"2.0\"><channel><title>feed " +
                                                   std::to_string(i) + "</title></channel></rss>",
                                               "application/rss+xml")
                         .header("Set-Cookie", "f" + std::to_string(i) + "=seen; Path=/; Max-Age=86400"));
        feeds.push_back(server.url(path));
    }
    const std::string list = SubscribeList(data, feeds);

    int holder = ::open((data + "/cache").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    auto program = Start();
    for (int i = 0; i < 1200 && program->running() && TriedFeeds(list) < kFeeds; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(TriedFeeds(list), kFeeds) << "the refresh ran to its end\n" << program->log();
    EXPECT_TRUE(CookieFiles(data + "/cache").empty())
        << "nothing is written while the lock is held elsewhere";

    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(kStopBoundMs), 0) << "ends within 3 s, with success\n" << program->log();
    ::close(holder);
    EXPECT_NE(ReadConfig().find("nRefreshRate=\"5\""), std::string::npos) << "the settings are saved";
    for (const std::string& name : usersCopies)
        EXPECT_EQ(testsupport::ReadFileBytes(data + "/" + name), "the user's own " + name + "\n");
    const std::vector<std::string> jars = CookieFiles(data + "/cache");
    ASSERT_EQ(jars.size(), 1u) << "one cookie file for the one site";
    std::ifstream in(jars[0]);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    for (int i = 0; i < kFeeds; ++i)
        EXPECT_NE(saved.find("\tf" + std::to_string(i) + "\tseen\n"), std::string::npos) << saved;
}

// A hostile site: every answer sets 50 new cookies and each feed redirects 9
// times; its cookie file holds 50,000 cookies from another tool at the start.
// The refresh still goes at its pace, a SIGTERM still ends the program at
// once with its settings saved, and the file keeps no more than a site's
// bound.
TEST_F(ProgramStopTest, AHostileSitesCookiesSlowNeitherTheRefreshNorTheStop)
{
    constexpr int kFeeds = 10;
    const std::string data = m_home.file("Documents/Kestrova");
    fs::create_directories(data + "/subscription");
    fs::create_directories(data + "/cache");
    fs::permissions(data + "/cache", fs::perms::owner_all);
    std::ofstream(data + "/config.xml") << "<?xml version=\"1.0\"?><Preference><general nRefreshRate=\"0\" "
                                           "nStartupMode=\"0\"/></Preference>\n";
    testsupport::LocalHttpServer server;
    auto answers = std::make_shared<std::atomic<int>>(0);
    // "/hop/F/N" redirects to "/hop/F/N-1"; "/hop/F/0" is feed F's document.
    server.setDefaultHandler(
        [answers](const testsupport::HttpRequest& request)
        {
            const std::size_t slash = request.path.rfind('/');
            const std::string feed = request.path.substr(5, slash - 5);
            const int hops = std::atoi(request.path.c_str() + slash + 1);
            testsupport::HttpResponse response =
                hops > 0 ? testsupport::RedirectResponse("/hop/" + feed + "/" + std::to_string(hops - 1))
                         : testsupport::TextResponse(200,
                                                     "<rss version=\"2.0\"><channel><title>feed " + feed +
                                                         "</title><item><title>one</title><link>http://x/" +
                                                         feed + "</link></item></channel></rss>",
                                                     "application/rss+xml");
            const std::string answer = std::to_string((*answers)++);
            for (int i = 0; i < 50; ++i)
                response.header("Set-Cookie",
                                "a" + answer + "_" + std::to_string(i) + "=v; Path=/; Max-Age=86400");
            return response;
        });
    std::vector<std::string> feeds;
    for (int i = 0; i < kFeeds; ++i)
        feeds.push_back(server.url("/hop/" + std::to_string(i) + "/9"));
    const std::string list = SubscribeList(data, feeds);
    uMD5 digest(0);
    digest.hashString(GetBaseURL(server.url("/").c_str()).c_str());
    uString name;
    digest.getHexDigest(name);
    const std::string jar = data + "/cache/" + name.c_str() + ".cookie";
    {
        std::ofstream old(jar);
        for (int i = 0; i < 50000; ++i)
            old << "127.0.0.1\tFALSE\t/\tFALSE\t0\told" << i << "\tv\n";
    }

    const auto started = std::chrono::steady_clock::now();
    auto program = Start();
    while (std::chrono::steady_clock::now() - started < std::chrono::seconds(8) && program->running() &&
           RefreshedFeeds(list) < kFeeds)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(RefreshedFeeds(list), 8) << "within 8 s\n" << program->log();

    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(3000), 0) << "ends within 3 s, with success\n" << program->log();
    program.reset();
    EXPECT_NE(ReadConfig().find("nRefreshRate=\"5\""), std::string::npos) << "the settings are saved";
    // The run set far more than the bound: the file keeps the last of them.
    std::ifstream in(jar);
    int cookies = 0;
    int old = 0;
    for (std::string line; std::getline(in, line);)
    {
        cookies += !line.empty() && line[0] != '#' ? 1 : 0;
        old += line.find("\told") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(cookies, static_cast<int>(uCurlTransfer::kMostCookiesPerDomain))
        << "of " << *answers << " answers";
    EXPECT_EQ(old, 0);
}

// This process holds the program's socket and never answers: the start takes
// the socket over and is heard on it.
TEST_F(ProgramStopTest, ASocketHeldByAnotherProcessDoesNotStopAStart)
{
    const std::string path = CInstanceChannel::SocketPath(CKestrovaApp::kInstanceGuid);
    ASSERT_FALSE(path.empty());
    const int holder = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(holder, 8), 0);

    auto program = Start();
    EXPECT_TRUE(realprogram::WaitUntilListening(*program)) << "the start ran as the first instance\n"
                                                           << program->log();
    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(kStopBoundMs), 0) << program->log();
    ::close(holder);
}

} // namespace
