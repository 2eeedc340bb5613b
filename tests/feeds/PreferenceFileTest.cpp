#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"
#include "support/GermanInterface.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{

using testsupport::ConfigHome;
using testsupport::ModeOf;
using testsupport::ReadFileBytes;

// The attributes of the first <element ...> tag in the text.
std::map<std::string, std::string> attributesOf(const std::string& xml, const std::string& element)
{
    std::smatch tag;
    std::map<std::string, std::string> result;
    if (!std::regex_search(xml, tag,
                           std::regex("<" + element + "((?:\\s+[A-Za-z0-9_-]+=\"[^\"]*\")*)\\s*/?>")))
        return result;
    const std::string body = tag[1].str();
    const std::regex attribute("([A-Za-z0-9_-]+)=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), attribute); it != std::sregex_iterator();
         ++it)
        result[(*it)[1].str()] = (*it)[2].str();
    return result;
}

std::set<std::string> namesOf(const std::string& xml, const std::string& element)
{
    std::set<std::string> names;
    for (const auto& attribute : attributesOf(xml, element))
        names.insert(attribute.first);
    return names;
}

void writeConfig(const ConfigHome& config, const std::string& body)
{
    config.write("Documents/Kestrova/config.xml", body);
}

TEST(PreferenceFileTest, FreshStartWritesEverySectionInItsForm)
{
    ConfigHome config;
    CPreference::GetInstance();
    CPreference::Release();

    const std::string xml = ReadFileBytes(config.data("config.xml"));
    std::vector<size_t> positions;
    for (const char* element :
         {"<Preference", "<window", "<general", "<download", "<proxy", "<podcast", "<torrent", "<personal"})
    {
        positions.push_back(xml.find(element));
        EXPECT_NE(positions.back(), std::string::npos) << element;
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    using Names = std::set<std::string>;
    EXPECT_EQ(namesOf(xml, "window"), (Names{"left", "top", "width", "height"}));
    EXPECT_EQ(namesOf(xml, "general"),
              (Names{"bNotifyUponNewArrival", "bAutoPurge", "bStartupAtLogon", "bPurgeItemOldThan",
                     "nRefreshRate", "nDefaultTimeout", "nPurgeDayToLive", "nStartupMode"}));
    EXPECT_EQ(namesOf(xml, "download"),
              (Names{"bAutoDownload", "nMinFreeSpace", "nMaxScanningThreads", "nMaxDownloadingThreads",
                     "bIntervalScheduler", "nSchedulerInterval"}));
    EXPECT_EQ(namesOf(xml, "proxy"),
              (Names{"bSock5", "strHostname", "strPort", "strUsername", "strPassword"}));
    EXPECT_EQ(namesOf(xml, "podcast"), (Names{"nFormatPlayLists"}));
    EXPECT_EQ(namesOf(xml, "torrent"),
              (Names{"nMaxDownloadRateLimit", "nMaxUploadRateLimit", "nMaxConnections", "nMaxUploadTask",
                     "nListenPortNumber1", "nListenPortNumber2"}));
    EXPECT_EQ(namesOf(xml, "personal"), Names{});
    EXPECT_EQ(attributesOf(xml, "general")["bStartupAtLogon"], "false");
    EXPECT_EQ(attributesOf(xml, "podcast")["nFormatPlayLists"], "1") << "no player for 0 exists here";

    EXPECT_EQ(ModeOf(config.data("config.xml")), 0600u);
    EXPECT_EQ(ModeOf(config.data("auth.xml")), 0600u);
    EXPECT_EQ(ModeOf(config.dataDir()), 0700u);
    for (const auto& entry : std::filesystem::directory_iterator(config.dataDir()))
        EXPECT_TRUE(!entry.is_regular_file() || entry.path().filename() == "config.xml" ||
                    entry.path().filename() == "auth.xml")
            << "left behind: " << entry.path();
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
        proxy.strPassword = secret;
        proxy.bSock5 = true;
        preference->SetProxySection(proxy);
        CPreference::PersonalSection personal;
        personal.strEmailName = "Ann \"Tester\" <&>";
        preference->SetPersonalSection(personal);
        CPreference::TorrentSection torrent = preference->GetTorrentSection();
        torrent.nMaxDownloadRateLimit = -1;
        preference->SetTorrentSection(torrent);
        preference->GetAuthList().Add("https://site.test/login", "ann", secret);
        CPreference::Release();
    }
    const std::string xml = ReadFileBytes(config.data("config.xml"));
    EXPECT_EQ(xml.find("p\xC3\xA4ss"), std::string::npos) << "the proxy password must not be stored in plain";
    EXPECT_EQ(ReadFileBytes(config.data("auth.xml")).find("p\xC3\xA4ss"), std::string::npos)
        << "a site password must not be stored in plain";
    EXPECT_EQ(namesOf(xml, "personal"), std::set<std::string>{"strEmailName"}) << "only what is set";

    CPreference* preference = CPreference::GetInstance();
    int left = 0, top = 0, width = 0, height = 0;
    preference->GetWindowRect(left, top, width, height);
    EXPECT_EQ(std::vector<int>({left, top, width, height}), std::vector<int>({10, 20, 800, 600}));
    const CPreference::ProxySection proxy = preference->GetProxySection();
    EXPECT_STREQ(proxy.strHostname.c_str(), "proxy.test");
    EXPECT_STREQ(proxy.strPassword.c_str(), secret);
    EXPECT_TRUE(proxy.bSock5);
    EXPECT_STREQ(preference->GetPersonalSection().strEmailName.c_str(), "Ann \"Tester\" <&>");
    EXPECT_EQ(preference->GetTorrentSection().nMaxDownloadRateLimit, -1);
    uString user, password;
    ASSERT_TRUE(preference->GetAuthList().GetCredentials("HTTPS://SITE.TEST/login", user, password));
    EXPECT_STREQ(password.c_str(), secret);
}

TEST(PreferenceFileTest, MissingAttributesAreEmptyAndMissingSectionsDefault)
{
    ConfigHome config;
    // Any root name will do; sections are found wherever they are.
    writeConfig(config, "<?xml version=\"1.0\"?>\n<Settings><group>\n"
                        "  <general nRefreshRate=\"10\" bAutoPurge=\"True\"/>\n"
                        "  <torrent nMaxConnections=\"  42abc\" nListenPortNumber1=\"99999999999\"/>\n"
                        "</group><general nRefreshRate=\"77\"/></Settings>\n");
    CPreference* preference = CPreference::GetInstance();
    const CPreference::GeneralSection general = preference->GetGeneralSection();
    EXPECT_EQ(general.nRefreshRate, 10) << "the first element of the name wins";
    EXPECT_EQ(general.nDefaultTimeout, 0);
    EXPECT_FALSE(general.bAutoPurge) << "only the exact text true is true";
    const CPreference::TorrentSection torrent = preference->GetTorrentSection();
    EXPECT_EQ(torrent.nMaxConnections, 42);
    EXPECT_EQ(torrent.nListenPortNumber1, 2147483647);
    EXPECT_EQ(torrent.nMaxUploadRateLimit, 0);
    EXPECT_EQ(preference->GetDownloadSection().nMinFreeSpace, 200) << "a missing section keeps its defaults";
}

// The files set aside in the data folder, by the name they were saved under.
std::vector<std::string> setAside(const ConfigHome& config, const std::string& name)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(config.dataDir()))
        if (std::regex_match(
                entry.path().filename().string(),
                std::regex(std::regex_replace(name, std::regex("\\."), "\\.") + "\\.bad-[0-9]{8}-[0-9]{6}")))
            found.push_back(entry.path().string());
    return found;
}

// A damaged config.xml or auth.xml, also one cut short after good entries,
// is moved aside with a message and defaults are used; the save at exit
// writes new files and keeps the set-aside copies.
TEST(PreferenceFileTest, DamagedSettingsFilesAreSetAsideAndTheSaveKeepsThem)
{
    ConfigHome config;
    const std::string damagedConfig = "\x01\x02 this is <not xml";
    std::string damagedAuth = "<?xml version=\"1.0\"?><Auth>";
    for (int i = 0; i < 300; ++i)
        damagedAuth +=
            "<entry url=\"https://site" + std::to_string(i) + ".test/\" user=\"u\" auth=\"cA==\"/>";
    damagedAuth.resize(damagedAuth.size() - 20); // cut off in the last entry
    writeConfig(config, damagedConfig);
    config.write("Documents/Kestrova/auth.xml", damagedAuth);
    testing::internal::CaptureStderr(); // the XML layer reports the parse errors there
    CPreference* preference = CPreference::GetInstance();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(preference->GetGeneralSection().nRefreshRate, 5);
    std::vector<uString> urls;
    EXPECT_FALSE(preference->GetAuthList().GetUrls(urls)) << "nothing taken from a damaged file";
    EXPECT_NE(errors.find("auth.xml was damaged and has been kept as"), std::string::npos) << errors;
    // The window asks for the messages once the interface language is chosen.
    const std::vector<uString> messages = preference->TakeSetAsideMessages();
    EXPECT_EQ(messages.size(), 2u);
    for (const uString& message : messages)
        EXPECT_NE(std::string(message.c_str()).find("was damaged and has been kept as"), std::string::npos)
            << message.c_str();
    preference->GetAuthList().Add("https://new.test/", "n", "p");
    CPreference::Release();

    const std::vector<std::string> configCopies = setAside(config, "config.xml");
    const std::vector<std::string> authCopies = setAside(config, "auth.xml");
    ASSERT_EQ(configCopies.size(), 1u);
    ASSERT_EQ(authCopies.size(), 1u);
    EXPECT_EQ(ReadFileBytes(configCopies[0]), damagedConfig);
    EXPECT_EQ(ReadFileBytes(authCopies[0]), damagedAuth);
    const std::string xml = ReadFileBytes(config.data("config.xml"));
    EXPECT_EQ(attributesOf(xml, "general")["nRefreshRate"], "5");
    EXPECT_NE(ReadFileBytes(config.data("auth.xml")).find("https://new.test/"), std::string::npos);

    // Sound files are not set aside at the next start.
    EXPECT_TRUE(CPreference::GetInstance()->TakeSetAsideMessages().empty());
    EXPECT_EQ(CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout, 300);
    EXPECT_EQ(setAside(config, "auth.xml").size(), 1u);
}

// Read before the interface language is chosen, the message about a damaged
// file is worded in the language chosen afterwards.
TEST(PreferenceFileTest, TheMessageAboutADamagedFileIsInTheLanguageChosenAfterReading)
{
    // The home of this test has a program folder of its own.
    const std::string program =
        std::filesystem::path(KESTROVA_LIST_TEMPLATE).parent_path().parent_path().string();
    if (!std::filesystem::exists(program + "/languages/de.mo"))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    ConfigHome config;
    writeConfig(config, "\x01\x02 this is <not xml");
    testing::internal::CaptureStderr(); // the XML layer reports the parse error there
    CPreference* preference = CPreference::GetInstance();
    testing::internal::GetCapturedStderr();
    {
        testsupport::GermanInterface german(program.c_str());
        ASSERT_TRUE(german.loaded);
        const std::vector<uString> messages = preference->TakeSetAsideMessages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(std::string(messages[0].c_str()).find("beschädigt"), std::string::npos)
            << messages[0].c_str();
    }
    CPreference::Release();
}

TEST(PreferenceFileTest, DailyTimersKeepTheirFormAndDate)
{
    ConfigHome config;
    testsupport::ScopedEnv zone("TZ", "UTC");
    tzset();
    writeConfig(config, "<Preference><download bAutoDownload=\"true\" bIntervalScheduler=\"false\" "
                        "nSchedulerInterval=\"15\" bEnableTimer1=\"false\" timer1=\" 1: 1\" "
                        "bEnableTimer2=\"true\" timer2=\" 7:30\" bEnableTimer3=\"true\" timer3=\"7\" "
                        "bEnableTimer4=\"true\" timer4=\"-5:10\"/></Preference>");
    const std::time_t before = std::time(nullptr);
    const CPreference::DownloadSection download = CPreference::GetInstance()->GetDownloadSection();
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(download.nSchedulerInterval, 60) << "daily mode leaves the interval unread";
    EXPECT_FALSE(download.bEnableTimer[0]);
    EXPECT_TRUE(download.bEnableTimer[1]);
    // Timer 2 started at now + 4 hours; it keeps that date and seconds, at 07:30.
    std::time_t timer2 = static_cast<std::time_t>(download.timer[1]);
    std::time_t defaultTimer2 = before + 4 * 3600;
    struct tm value = {}, start = {};
    gmtime_r(&timer2, &value);
    gmtime_r(&defaultTimer2, &start);
    EXPECT_EQ(value.tm_hour * 100 + value.tm_min, 730);
    EXPECT_EQ(value.tm_yday, start.tm_yday);
    // One number, or a signed one, is not a time: the defaults stay.
    EXPECT_GE(download.timer[2], before + 6 * 3600);
    EXPECT_LE(download.timer[2], after + 6 * 3600);
    EXPECT_GE(download.timer[3], before + 8 * 3600);
    EXPECT_LE(download.timer[3], after + 8 * 3600);
    CPreference::Release();

    std::map<std::string, std::string> saved =
        attributesOf(ReadFileBytes(config.data("config.xml")), "download");
    EXPECT_EQ(saved.count("nSchedulerInterval"), 0u);
    EXPECT_EQ(saved.count("timer1"), 0u) << "a disabled timer keeps only its flag";
    EXPECT_EQ(saved["bEnableTimer1"], "false");
    EXPECT_EQ(saved["timer2"], " 7:30");
    EXPECT_TRUE(std::regex_match(saved["timer3"], std::regex("[ 12][0-9]:[ 0-5][0-9]")));
}

} // namespace
