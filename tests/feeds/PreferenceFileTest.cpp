#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"

#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

using testsupport::ConfigHome;
using testsupport::ReadFileBytes;

// The attributes of the first <element ...> tag in the text, in file order.
std::vector<std::pair<std::string, std::string>> attributesOf(const std::string& xml,
                                                              const std::string& element)
{
    std::smatch tag;
    std::vector<std::pair<std::string, std::string>> result;
    if (!std::regex_search(xml, tag,
                           std::regex("<" + element + "((?:\\s+[A-Za-z0-9_-]+=\"[^\"]*\")*)\\s*/?>")))
        return result;
    const std::string body = tag[1].str();
    std::regex attribute("([A-Za-z0-9_-]+)=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), attribute); it != std::sregex_iterator();
         ++it)
        result.emplace_back((*it)[1].str(), (*it)[2].str());
    return result;
}

// The serializer orders attributes by name, so compare them as a set.
std::set<std::string> namesOf(const std::vector<std::pair<std::string, std::string>>& attributes)
{
    std::set<std::string> names;
    for (const auto& attribute : attributes)
        names.insert(attribute.first);
    return names;
}

std::string valueOf(const std::string& xml, const std::string& element, const std::string& name)
{
    for (const auto& [key, value] : attributesOf(xml, element))
        if (key == name)
            return value;
    return "<absent>";
}

unsigned modeOf(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

void writeConfig(const ConfigHome& config, const std::string& body)
{
    config.write("Documents/Kestrova/config.xml", body);
}

TEST(PreferenceFileTest, FreshStartWritesEveryDefaultInItsForm)
{
    ConfigHome config;
    CPreference* preference = CPreference::GetInstance();
    EXPECT_EQ(CPreference::GetInstance(), preference);
    EXPECT_EQ(preference->GetGeneralSection().nDefaultTimeout, 300);
    EXPECT_EQ(preference->GetDownloadSection().nSchedulerInterval, 60);
    EXPECT_EQ(preference->GetTorrentSection().nListenPortNumber2, 6889);
    EXPECT_EQ(preference->GetPodcastSection().nFormatPlayLists, 1) << "no player for 0 exists here";
    CPreference::Release();

    const std::string xml = ReadFileBytes(config.data("config.xml"));
    ASSERT_FALSE(xml.empty());
    EXPECT_NE(xml.find("standalone=\"yes\""), std::string::npos);
    std::vector<size_t> positions;
    for (const char* element :
         {"<Preference", "<window", "<general", "<download", "<proxy", "<podcast", "<torrent", "<personal"})
    {
        positions.push_back(xml.find(element));
        EXPECT_NE(positions.back(), std::string::npos) << element;
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));

    using Names = std::set<std::string>;
    EXPECT_EQ(namesOf(attributesOf(xml, "window")), (Names{"left", "top", "width", "height"}));
    EXPECT_EQ(namesOf(attributesOf(xml, "general")),
              (Names{"bNotifyUponNewArrival", "bAutoPurge", "bStartupAtLogon", "bPurgeItemOldThan",
                     "nRefreshRate", "nDefaultTimeout", "nPurgeDayToLive", "nStartupMode"}));
    EXPECT_EQ(namesOf(attributesOf(xml, "download")),
              (Names{"bAutoDownload", "nMinFreeSpace", "nMaxScanningThreads", "nMaxDownloadingThreads",
                     "bIntervalScheduler", "nSchedulerInterval"}));
    EXPECT_EQ(namesOf(attributesOf(xml, "proxy")),
              (Names{"bSock5", "strHostname", "strPort", "strUsername", "strPassword"}));
    EXPECT_EQ(namesOf(attributesOf(xml, "podcast")), (Names{"nFormatPlayLists"}));
    EXPECT_EQ(namesOf(attributesOf(xml, "torrent")),
              (Names{"nMaxDownloadRateLimit", "nMaxUploadRateLimit", "nMaxConnections", "nMaxUploadTask",
                     "nListenPortNumber1", "nListenPortNumber2"}));
    EXPECT_EQ(namesOf(attributesOf(xml, "personal")), Names{});

    EXPECT_EQ(valueOf(xml, "general", "bStartupAtLogon"), "false");
    EXPECT_EQ(valueOf(xml, "general", "bPurgeItemOldThan"), "true");
    EXPECT_EQ(valueOf(xml, "general", "nPurgeDayToLive"), "7");
    EXPECT_EQ(valueOf(xml, "download", "nMinFreeSpace"), "200");
    EXPECT_EQ(valueOf(xml, "download", "bIntervalScheduler"), "true");
    EXPECT_EQ(valueOf(xml, "torrent", "nMaxUploadRateLimit"), "56000");
    EXPECT_EQ(valueOf(xml, "torrent", "nListenPortNumber1"), "6881");
    EXPECT_EQ(valueOf(xml, "proxy", "strHostname"), "");

    EXPECT_EQ(modeOf(config.data("config.xml")), 0600u);
    EXPECT_EQ(modeOf(config.data("auth.xml")), 0600u);
    EXPECT_EQ(modeOf(config.dataDir()), 0700u);
    for (const auto& entry : std::filesystem::directory_iterator(config.dataDir()))
    {
        if (!entry.is_regular_file())
            continue;
        EXPECT_TRUE(entry.path().filename() == "config.xml" || entry.path().filename() == "auth.xml")
            << "left behind: " << entry.path();
    }
}

TEST(PreferenceFileTest, ChangedSettingsAndSecretsRoundTrip)
{
    ConfigHome config;
    // 60 bytes with non-ASCII letters and a colon: its Base64 form spans two lines.
    const char* secret = "p\xC3\xA4ss:w\xC3\xB6rd-with-a-colon:and-enough-length-to-wrap-012345678";
    ASSERT_EQ(std::string(secret).size(), 60u);
    {
        CPreference* preference = CPreference::GetInstance();
        preference->SetWindowRect(10, 20, 800, 600);
        CPreference::ProxySection proxy;
        proxy.strHostname = "proxy.test";
        proxy.strPort = "3128";
        proxy.strUsername = "ann";
        proxy.strPassword = secret;
        proxy.bSock5 = true;
        preference->SetProxySection(proxy);
        CPreference::PersonalSection personal;
        personal.strServerSMTP = "smtp.test";
        personal.strEmailName = "Ann \"Tester\" <&>";
        preference->SetPersonalSection(personal);
        CPreference::TorrentSection torrent = preference->GetTorrentSection();
        torrent.nMaxDownloadRateLimit = -1;
        preference->SetTorrentSection(torrent);
        preference->GetAuthList().Add("https://site.test/login", "ann", secret);
        CPreference::Release();
    }

    const std::string xml = ReadFileBytes(config.data("config.xml"));
    const std::string auth = ReadFileBytes(config.data("auth.xml"));
    EXPECT_EQ(xml.find("p\xC3\xA4ss"), std::string::npos) << "the proxy password must not be stored in plain";
    EXPECT_EQ(auth.find("p\xC3\xA4ss"), std::string::npos) << "a site password must not be stored in plain";
    EXPECT_EQ(namesOf(attributesOf(xml, "personal")),
              (std::set<std::string>{"strEmailName", "strServerSMTP"}));

    CPreference* preference = CPreference::GetInstance();
    int left = 0, top = 0, width = 0, height = 0;
    preference->GetWindowRect(left, top, width, height);
    EXPECT_EQ(std::vector<int>({left, top, width, height}), std::vector<int>({10, 20, 800, 600}));
    const CPreference::ProxySection proxy = preference->GetProxySection();
    EXPECT_STREQ(proxy.strHostname.c_str(), "proxy.test");
    EXPECT_STREQ(proxy.strPort.c_str(), "3128");
    EXPECT_STREQ(proxy.strUsername.c_str(), "ann");
    EXPECT_STREQ(proxy.strPassword.c_str(), secret);
    EXPECT_TRUE(proxy.bSock5);
    EXPECT_STREQ(preference->GetPersonalSection().strEmailName.c_str(), "Ann \"Tester\" <&>");
    EXPECT_STREQ(preference->GetPersonalSection().strEmailAdress.c_str(), "");
    EXPECT_EQ(preference->GetTorrentSection().nMaxDownloadRateLimit, -1);
    uString user, password;
    ASSERT_TRUE(preference->GetAuthList().GetCredentials("HTTPS://SITE.TEST/login", user, password));
    EXPECT_STREQ(user.c_str(), "ann");
    EXPECT_STREQ(password.c_str(), secret);
}

TEST(PreferenceFileTest, MissingAttributesAreEmptyAndMissingSectionsDefault)
{
    ConfigHome config;
    // Any root name will do; sections are found wherever they are.
    writeConfig(config, "<?xml version=\"1.0\"?>\n<Settings><group>\n"
                        "  <general nRefreshRate=\"10\" bAutoPurge=\"True\"/>\n"
                        "  <torrent nMaxConnections=\"  42abc\" nMaxUploadTask=\"-3\" "
                        "nListenPortNumber1=\"99999999999\"/>\n"
                        "</group><general nRefreshRate=\"77\"/></Settings>\n");
    CPreference* preference = CPreference::GetInstance();
    const CPreference::GeneralSection general = preference->GetGeneralSection();
    EXPECT_EQ(general.nRefreshRate, 10) << "the first element of the name wins";
    EXPECT_EQ(general.nDefaultTimeout, 0);
    EXPECT_EQ(general.nPurgeDayToLive, 0);
    EXPECT_EQ(general.nStartupMode, 0);
    EXPECT_FALSE(general.bAutoPurge) << "only the exact text true is true";
    EXPECT_FALSE(general.bNotifyUponNewArrival);
    const CPreference::TorrentSection torrent = preference->GetTorrentSection();
    EXPECT_EQ(torrent.nMaxConnections, 42);
    EXPECT_EQ(torrent.nMaxUploadTask, -3);
    EXPECT_EQ(torrent.nListenPortNumber1, 2147483647);
    EXPECT_EQ(torrent.nMaxUploadRateLimit, 0);
    EXPECT_EQ(preference->GetDownloadSection().nMinFreeSpace, 200) << "a missing section keeps its defaults";
    EXPECT_EQ(preference->GetDownloadSection().nSchedulerInterval, 60);
}

TEST(PreferenceFileTest, DamagedFileGivesDefaultsAndIsReplacedByAWellFormedOne)
{
    ConfigHome config;
    writeConfig(config, "\x01\x02 this is <not xml");
    testing::internal::CaptureStderr(); // the XML layer reports the parse error there
    CPreference* preference = CPreference::GetInstance();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(preference->GetGeneralSection().nRefreshRate, 5);
    EXPECT_TRUE(preference->GetGeneralSection().bAutoPurge);
    CPreference::Release();

    const std::string xml = ReadFileBytes(config.data("config.xml"));
    EXPECT_EQ(valueOf(xml, "general", "nRefreshRate"), "5");
    EXPECT_EQ(xml.find("not xml"), std::string::npos);
    EXPECT_EQ(CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout, 300);
}

TEST(PreferenceFileTest, DailyTimersKeepTheirFormAndDate)
{
    ConfigHome config;
    testsupport::ScopedEnv zone("TZ", "UTC");
    tzset();
    writeConfig(config, "<Preference><download bAutoDownload=\"true\" nMinFreeSpace=\"50\" "
                        "nMaxScanningThreads=\"3\" nMaxDownloadingThreads=\"1\" bIntervalScheduler=\"false\" "
                        "nSchedulerInterval=\"15\" bEnableTimer1=\"false\" timer1=\" 1: 1\" "
                        "bEnableTimer2=\"true\" timer2=\" 7:30\" bEnableTimer3=\"true\" timer3=\"7\" "
                        "bEnableTimer4=\"true\" timer4=\"-5:10\"/></Preference>");
    const std::time_t before = std::time(nullptr);
    CPreference* preference = CPreference::GetInstance();
    const CPreference::DownloadSection download = preference->GetDownloadSection();
    const std::time_t after = std::time(nullptr);

    EXPECT_TRUE(download.bAutoDownload);
    EXPECT_FALSE(download.bIntervalScheduler);
    EXPECT_EQ(download.nSchedulerInterval, 60) << "daily mode leaves the interval unread";
    EXPECT_FALSE(download.bEnableTimer[0]);
    EXPECT_TRUE(download.bEnableTimer[1]);
    // Timer 2 started at now + 4 hours; it keeps that date and seconds, at 07:30.
    std::time_t timer2 = static_cast<std::time_t>(download.timer[1]);
    struct tm value = {}, start = {};
    gmtime_r(&timer2, &value);
    std::time_t defaultTimer2 = before + 4 * 3600;
    gmtime_r(&defaultTimer2, &start);
    EXPECT_EQ(value.tm_hour, 7);
    EXPECT_EQ(value.tm_min, 30);
    EXPECT_EQ(value.tm_yday, start.tm_yday);
    // One number, or a signed one, is not a time: the default stays.
    EXPECT_GE(download.timer[2], before + 6 * 3600);
    EXPECT_LE(download.timer[2], after + 6 * 3600);
    EXPECT_GE(download.timer[3], before + 8 * 3600);
    EXPECT_LE(download.timer[3], after + 8 * 3600);
    CPreference::Release();

    const std::string xml = ReadFileBytes(config.data("config.xml"));
    EXPECT_EQ(namesOf(attributesOf(xml, "download")),
              (std::set<std::string>{"bAutoDownload", "nMinFreeSpace", "nMaxScanningThreads",
                                     "nMaxDownloadingThreads", "bIntervalScheduler", "bEnableTimer1",
                                     "bEnableTimer2", "timer2", "bEnableTimer3", "timer3", "bEnableTimer4",
                                     "timer4", "bEnableTimer5", "bEnableTimer6"}));
    EXPECT_EQ(valueOf(xml, "download", "timer2"), " 7:30");
    EXPECT_EQ(valueOf(xml, "download", "bEnableTimer1"), "false");
    EXPECT_TRUE(std::regex_match(valueOf(xml, "download", "timer3"), std::regex("[ 12][0-9]:[ 0-5][0-9]")));
}

} // namespace
