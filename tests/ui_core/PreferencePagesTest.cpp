#include "dialogs/PrefModels.h"
#include "downloads/FakeTorrentEngine.h"
#include "feeds/support/ConfigHome.h"
#include "support/GermanInterface.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <string>

namespace
{
using testsupport::ConfigHome;
using testsupport::ReadFileBytes;

// Every attribute of config.xml as "element.attribute" -> value.
std::map<std::string, std::string> Attributes(const std::string& xml)
{
    std::map<std::string, std::string> result;
    std::regex tag("<([A-Za-z]+)((?:\\s+[A-Za-z0-9_]+=\"[^\"]*\")*)\\s*/?>");
    std::regex attribute("([A-Za-z0-9_]+)=\"([^\"]*)\"");
    for (auto t = std::sregex_iterator(xml.begin(), xml.end(), tag); t != std::sregex_iterator(); ++t)
    {
        std::string body = (*t)[2].str();
        for (auto a = std::sregex_iterator(body.begin(), body.end(), attribute); a != std::sregex_iterator();
             ++a)
            result[(*t)[1].str() + "." + (*a)[1].str()] = (*a)[2].str();
    }
    return result;
}

// Values the pages cannot show exactly, so that an OK that rewrote them
// would show up as a difference.
const char* const kConfig = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Preference>
  <general bNotifyUponNewArrival="true" bAutoPurge="false" bStartupAtLogon="false" bPurgeItemOldThan="true" nRefreshRate="90" nDefaultTimeout="30" nPurgeDayToLive="7" nStartupMode="0"/>
  <download bAutoDownload="true" nMinFreeSpace="100" nMaxScanningThreads="12" nMaxDownloadingThreads="2" bIntervalScheduler="true" nSchedulerInterval="90"/>
  <proxy bSock5="false" strHostname="" strPort="" strUsername="" strPassword=""/>
  <podcast nFormatPlayLists="2"/>
  <torrent nMaxDownloadRateLimit="1999" nMaxUploadRateLimit="0" nMaxConnections="64" nMaxUploadTask="64" nListenPortNumber1="6881" nListenPortNumber2="6889"/>
  <personal strEmailAdress="me@example.org"/>
</Preference>
)";

class RecordingEngine : public downloadtest::FakeTorrentEngine
{
public:
    bool SetDownloadRateLimit(int value) override { return Record("download " + std::to_string(value)); }
    bool SetUploadRateLimit(int value) override { return Record("upload " + std::to_string(value)); }
    bool SetMaxConnections(int value) override { return Record("connections " + std::to_string(value)); }
    bool SetMaxUploads(int value) override { return Record("uploads " + std::to_string(value)); }
    bool SetListenPorts(int first, int last) override
    {
        return Record("ports " + std::to_string(first) + " " + std::to_string(last));
    }
    bool SetProxy(uString host, int port, uString user, uString password) override
    {
        return Record("proxy " + std::string(host.c_str()) + ":" + std::to_string(port) + " " + user.c_str() +
                      " " + password.c_str());
    }
    std::vector<std::string> calls;

private:
    bool Record(const std::string& call)
    {
        calls.push_back(call);
        return true;
    }
};

class PreferencePagesTest : public testing::Test
{
protected:
    PreferencePagesTest()
    {
        m_config.write("Documents/Kestrova/config.xml", kConfig);
        preference = CPreference::GetInstance();
        preference->Save(); // as the program writes it: the reference bytes
        before = ReadFileBytes(File());
    }
    std::string File() const { return m_config.home().file("Documents/Kestrova/config.xml"); }

    // OK after `edit` changed the shown forms; what config.xml holds then.
    bool Ok(const std::function<void(prefs::SheetForms&)>& edit, CTorrentEngine* engine = nullptr)
    {
        prefs::SheetForms shown = prefs::ShowAll(*preference);
        prefs::SheetForms edited = shown;
        edit(edited);
        prefs::ApplyHooks hooks;
        hooks.message = [this](int stringId, const uString& argument)
        { messages.push_back(std::to_string(stringId) + " " + argument.c_str()); };
        hooks.settingsChanged = [this] { fileWhenTold = ReadFileBytes(File()); };
        return prefs::ApplyAll(*preference, engine, shown, edited, hooks, failedPage, refusal);
    }
    // The attributes that differ from the reference file.
    std::map<std::string, std::string> Changes() const
    {
        std::map<std::string, std::string> old = Attributes(before);
        std::map<std::string, std::string> changes;
        for (const auto& [name, value] : Attributes(ReadFileBytes(File())))
        {
            if (old[name] != value)
                changes[name] = value;
        }
        return changes;
    }

    ConfigHome m_config;
    CPreference* preference = nullptr;
    std::string before;
    std::string fileWhenTold;
    std::vector<std::string> messages;
    int failedPage = -1;
    prefs::Refusal refusal;
};

TEST_F(PreferencePagesTest, OkWithoutAChangeLeavesTheFileByteIdentical)
{
    // 90 minutes, a 90-minute interval, 12 threads and 1999 B/s: none is
    // rewritten.
    ASSERT_TRUE(Ok([](prefs::SheetForms&) {}));
    EXPECT_EQ(ReadFileBytes(File()), before);
    EXPECT_EQ(fileWhenTold, before);
}

// A stored time-out that is no item shows as the first one; OK stores what
// was shown, so the program never uses another time-out than the page says.
TEST_F(PreferencePagesTest, TheTimeOutStoredIsTheOneShown)
{
    for (int stored : {45, 0, 300})
    {
        CPreference::GeneralSection section;
        section.nDefaultTimeout = stored;
        prefs::GeneralForm shown = prefs::ShowGeneral(section);
        prefs::Refusal refusal;
        ASSERT_TRUE(prefs::ApplyGeneral(shown, shown, section, refusal));
        EXPECT_EQ(section.nDefaultTimeout, stored == 300 ? 300 : 5)
            << stored << " shown as " << shown.timeout.c_str();

        // A typed text that is no item leaves the stored value alone.
        prefs::GeneralForm typed = shown;
        typed.timeout = "45 sec.";
        section.nDefaultTimeout = stored;
        ASSERT_TRUE(prefs::ApplyGeneral(shown, typed, section, refusal));
        EXPECT_EQ(section.nDefaultTimeout, stored);
    }
}

TEST_F(PreferencePagesTest, EachChangedSettingIsTheOnlyDifferenceInTheFile)
{
    struct Case
    {
        const char* page;
        std::function<void(prefs::SheetForms&)> edit;
        std::map<std::string, std::string> expected;
    };
    const Case cases[] = {
        {"general: whole hours",
         [](auto& f) { f.general.refreshNumber = "2", f.general.refreshUnit = "hour"; },
         {{"general.nRefreshRate", "120"}}},
        {"general: time-out item",
         [](auto& f) { f.general.timeout = "1 min."; },
         {{"general.nDefaultTimeout", "60"}}},
        {"general: purge days",
         [](auto& f) { f.general.purgeDays = "14"; },
         {{"general.nPurgeDayToLive", "14"}}},
        {"general: minimised", [](auto& f) { f.general.startupMode = 1; }, {{"general.nStartupMode", "1"}}},
        {"general: unit that is no item", [](auto& f) { f.general.refreshUnit = "fortnight"; }, {}},
        {"download: free space",
         [](auto& f) { f.download.freeSpace = "500"; },
         {{"download.nMinFreeSpace", "500"}}},
        {"download: threads",
         [](auto& f) { f.download.scanThreads = "3"; },
         {{"download.nMaxScanningThreads", "3"}}},
        {"download: interval",
         [](auto& f) { f.download.interval = "2 hour"; },
         {{"download.nSchedulerInterval", "120"}}},
        {"proxy: host", [](auto& f) { f.proxy.host = "127.0.0.1"; }, {{"proxy.strHostname", "127.0.0.1"}}},
        {"proxy: socks", [](auto& f) { f.proxy.sock5 = true; }, {{"proxy.bSock5", "true"}}},
        {"podcast: command",
         [](auto& f) { f.podcast.command = "play %f"; },
         {{"podcast.strPostProcessCommand", "play %f"}}},
        {"podcast: media player", [](auto& f) { f.podcast.format = 0; }, {{"podcast.nFormatPlayLists", "0"}}},
        {"personal: server",
         [](auto& f) { f.personal.server = "127.0.0.1"; },
         {{"personal.strServerSMTP", "127.0.0.1"}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.page);
        ASSERT_TRUE(Ok(c.edit)) << refusal.text.c_str();
        EXPECT_EQ(Changes(), c.expected);
        // Back to the reference for the next row.
        std::filesystem::remove(File());
        CPreference::Release();
        m_config.write("Documents/Kestrova/config.xml", kConfig);
        preference = CPreference::GetInstance();
    }
}

TEST_F(PreferencePagesTest, ARefusedValueStoresNothingMakesNoFolderAndNamesItsPageAndEdit)
{
    struct Case
    {
        std::function<void(prefs::SheetForms&)> edit;
        int page;
        int control;
        std::string message;
    };
    const Case cases[] = {
        {[](auto& f) { f.general.refreshNumber = "0"; }, prefs::kGeneralPage, 1043,
         "Please enter an integer between 1 and 35791."},
        {[](auto& f) { f.general.purgeDays = "x"; }, prefs::kGeneralPage, 1035,
         "Please enter an integer between 1 and 36500."},
        {[](auto& f) { f.download.scanThreads = "9"; }, prefs::kDownloadPage, 1053,
         "Please enter an integer between 1 and 8."},
        {[](auto& f) { f.proxy.port = "80a"; }, prefs::kProxyPage, 1045,
         "Please enter an integer between 1 and 65535."},
        {[](auto& f) { f.torrent.lastPort = "70000"; }, prefs::kTorrentPage, 1096,
         "Please enter an integer between 1 and 65535."},
    };
    // A folder that does not exist yet: a refused OK must not make it.
    const std::string folder = m_config.home().file("media/podcasts");
    RecordingEngine engine;
    for (const Case& c : cases)
    {
        // Another page's valid change is not stored either.
        EXPECT_FALSE(Ok(
            [&](prefs::SheetForms& f)
            {
                f.personal.name = "Changed";
                f.podcast.folder = folder.c_str();
                c.edit(f);
            },
            &engine));
        EXPECT_EQ(failedPage, c.page);
        EXPECT_EQ(refusal.control, c.control);
        EXPECT_EQ(refusal.text.c_str(), c.message);
    }
    preference->Save();
    EXPECT_EQ(ReadFileBytes(File()), before);
    EXPECT_TRUE(engine.calls.empty());
    EXPECT_TRUE(fileWhenTold.empty());
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreferencePagesTest, TheEngineIsToldOnlyWhatChangedInItsOrder)
{
    RecordingEngine engine;
    ASSERT_TRUE(Ok([](auto& f) { f.proxy.sock5 = true; }, &engine));
    EXPECT_TRUE(engine.calls.empty()); // the engine has no SOCKS switch

    ASSERT_TRUE(Ok(
        [](auto& f)
        {
            f.torrent.lastPort = "6999";
            f.torrent.downloadRate = 56;
            f.torrent.uploads = 8;
            f.proxy.host = "127.0.0.1";
            f.proxy.port = "3128";
        },
        &engine));
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"download 56000", "uploads 8", "ports 6881 6999",
                                                      "proxy 127.0.0.1:3128  "}));
    CPreference::TorrentSection torrent = preference->GetTorrentSection();
    EXPECT_EQ(torrent.nMaxDownloadRateLimit, 56000);
    EXPECT_EQ(torrent.nMaxUploadRateLimit, 0);
    EXPECT_EQ(torrent.nListenPortNumber2, 6999);
}

TEST_F(PreferencePagesTest, TheTorrentPageShowsKilobytesAndHoldsTheSpinRanges)
{
    prefs::TorrentForm form = prefs::ShowTorrent(preference->GetTorrentSection());
    EXPECT_EQ(form.downloadRate, 1); // 1999 B/s
    EXPECT_STREQ(prefs::TorrentValueText(prefs::kUploadRateRow, form.uploadRate).c_str(), "No Limit");
    EXPECT_STREQ(prefs::TorrentValueText(prefs::kConnectionsRow, 0).c_str(), "0");
    EXPECT_EQ(prefs::SpinValue(prefs::kUploadsRow, 64, 1), 64);
    EXPECT_EQ(prefs::SpinValue(prefs::kConnectionsRow, 2, -1), 2);
    EXPECT_EQ(prefs::SpinValue(prefs::kDownloadRateRow, 511, 1), 512);
}

TEST_F(PreferencePagesTest, TheGeneralPageShowsHoursOnlyForWholeHours)
{
    const std::pair<int, const char*> rates[] = {{60, "60 minute"}, {90, "90 minute"}, {120, "2 hour"}};
    for (const auto& [rate, shown] : rates)
    {
        CPreference::GeneralSection section;
        section.nRefreshRate = rate;
        section.nDefaultTimeout = 45;
        prefs::GeneralForm form = prefs::ShowGeneral(section);
        EXPECT_EQ(std::string(form.refreshNumber.c_str()) + " " + form.refreshUnit.c_str(), shown);
        EXPECT_STREQ(form.timeout.c_str(), "5 sec.");
    }
}

// German takes the unit's form that goes with the number, and a number
// typed with its unit's form is stored in minutes.
TEST(PreferenceUnitsTest, TheRefreshUnitFollowsTheNumberInGerman)
{
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    const std::pair<int, const char*> rates[] = {
        {5, "5 Minuten"}, {0, "0 Minuten"}, {1, "1 Minute"}, {180, "3 Stunden"}};
    for (const auto& [rate, shown] : rates)
    {
        CPreference::GeneralSection section;
        section.nRefreshRate = rate;
        prefs::GeneralForm form = prefs::ShowGeneral(section);
        EXPECT_EQ(std::string(form.refreshNumber.c_str()) + " " + form.refreshUnit.c_str(), shown);
        prefs::GeneralForm edited = form;
        edited.refreshNumber = uString("2");
        edited.refreshUnit = prefs::RefreshUnitItems(edited.refreshNumber)[1];
        prefs::Refusal refusal;
        ASSERT_TRUE(prefs::ApplyGeneral(form, edited, section, refusal)) << shown;
        EXPECT_EQ(section.nRefreshRate, 120) << shown;
    }
}

TEST_F(PreferencePagesTest, RunAtKeepsTheStoredTimeOfADisabledTimer)
{
    CPreference::DownloadSection section = preference->GetDownloadSection();
    section.bIntervalScheduler = false;
    section.bEnableTimer[1] = true;
    section.bEnableTimer[2] = true;
    preference->SetDownloadSection(section);
    ASSERT_TRUE(Ok(
        [](auto& f)
        {
            f.download.timerMinute[1] = 7 * 60 + 30;
            f.download.timerMinute[2] = 8 * 60;
            f.download.timerEnabled[2] = false; // changed, then disabled
        }));
    CPreference::DownloadSection stored = preference->GetDownloadSection();
    EXPECT_EQ(prefs::MinuteOfDay(stored.timer[1]), 7 * 60 + 30);
    EXPECT_EQ(stored.timer[2], section.timer[2]);
    EXPECT_FALSE(stored.bEnableTimer[2]);
}

TEST_F(PreferencePagesTest, AnExistingPodcastFolderBecomesTheLibraryAndEmptyingItRestoresTheDefault)
{
    std::string folder = m_config.home().file("media/podcasts");
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(Ok([&](auto& f) { f.podcast.folder = folder.c_str(); }));
    EXPECT_STREQ(preference->GetLibraryDir().getPath().c_str(), folder.c_str());
    for (const char* media : {"My Download", "My Music", "My Movie"})
        EXPECT_TRUE(std::filesystem::is_directory(folder + "/" + media)) << media;
    EXPECT_STREQ(preference->GetDownloadDir().getPath().c_str(), (folder + "/My Download").c_str());
    EXPECT_TRUE(messages.empty());

    ASSERT_TRUE(Ok([](auto& f) { f.podcast.folder = ""; }));
    EXPECT_STREQ(preference->GetLibraryDir().getPath().c_str(),
                 preference->GetDefaultLibraryDir().getPath().c_str());
}

TEST_F(PreferencePagesTest, AMissingPodcastFolderIsReportedEmptiedAndNeverMade)
{
    const std::string library = preference->GetLibraryDir().getPath().c_str();
    const std::string missing = m_config.home().file("no such/podcasts");
    ASSERT_TRUE(Ok(
        [&](auto& f)
        {
            f.podcast.folder = missing.c_str();
            f.podcast.command = "play %f";
        }));
    EXPECT_EQ(messages, std::vector<std::string>{"3032 " + missing});
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_STREQ(preference->GetPodcastSection().strPodcastDirectory.c_str(), "");
    EXPECT_STREQ(preference->GetPodcastSection().strPostProcessCommand.c_str(), "play %f");
    EXPECT_STREQ(preference->GetLibraryDir().getPath().c_str(), library.c_str());
    EXPECT_TRUE(std::filesystem::is_directory(library + "/My Movie"));

    // A stored folder removed since is checked at every OK, changed or not.
    std::string gone = m_config.home().file("gone");
    std::filesystem::create_directories(gone);
    ASSERT_TRUE(Ok([&](auto& f) { f.podcast.folder = gone.c_str(); }));
    std::filesystem::remove_all(gone);
    messages.clear();
    ASSERT_TRUE(Ok([](auto&) {}));
    EXPECT_EQ(messages, std::vector<std::string>{"3032 " + gone});
    EXPECT_STREQ(preference->GetPodcastSection().strPodcastDirectory.c_str(), "");
}

TEST(PreferencePlaylistTest, StoredITunesChecksNoButtonWhileITunesIsAbsent)
{
    EXPECT_EQ(prefs::CheckedPlaylistButton(0, false), 0);
    EXPECT_EQ(prefs::CheckedPlaylistButton(1, false), 1);
    EXPECT_EQ(prefs::CheckedPlaylistButton(2, false), -1);
    EXPECT_EQ(prefs::CheckedPlaylistButton(2, true), 2);
    EXPECT_EQ(prefs::CheckedPlaylistButton(7, true), -1);
}

TEST_F(PreferencePagesTest, ThePasswordManagerWorksOnTheStoredCredentialsAtOnce)
{
    CAuthList& list = preference->GetAuthList();
    list.Add("http://127.0.0.1/a", "ann", "secret");
    list.Add("http://127.0.0.1/b", "bob", "hidden");
    prefs::CPasswordManager manager(list);
    manager.Select("http://127.0.0.1/a");
    EXPECT_STREQ(manager.login.c_str(), "ann");
    EXPECT_STREQ(manager.retype.c_str(), "secret");

    manager.RetypeLeft("new", "other"); // mismatch: restored, nothing stored
    EXPECT_STREQ(manager.password.c_str(), "secret");
    EXPECT_STREQ(manager.retype.c_str(), "secret");
    manager.LoginLeft("anna");
    manager.RetypeLeft("new", "new");
    uString user;
    uString password;
    ASSERT_TRUE(list.GetCredentials("http://127.0.0.1/a", user, password));
    EXPECT_STREQ(user.c_str(), "anna");
    EXPECT_STREQ(password.c_str(), "new");

    manager.Select(uString()); // deselected: the edits write nowhere
    EXPECT_TRUE(manager.login.isEmpty());
    manager.LoginLeft("stray");
    ASSERT_TRUE(list.GetCredentials("http://127.0.0.1/a", user, password));
    EXPECT_STREQ(user.c_str(), "anna");

    manager.Select("http://127.0.0.1/b");
    manager.RemoveSelected();
    EXPECT_FALSE(list.Contains("http://127.0.0.1/b"));
    EXPECT_TRUE(manager.login.isEmpty());
    EXPECT_EQ(manager.Urls().size(), 1u);
}

TEST(PasswordManagerRowsTest, AfterADeletionTheFollowingRowIsSelected)
{
    EXPECT_EQ(prefs::RowAfterRemoval(1, 3), 1); // the old row 2, moved up
    EXPECT_EQ(prefs::RowAfterRemoval(3, 3), 2); // the last row went: the new last
    EXPECT_EQ(prefs::RowAfterRemoval(0, 0), -1);
}

TEST(PreferenceStartPageTest, PersonalIsTheLastPageWithOrWithoutAnEngine)
{
    EXPECT_EQ(prefs::StartPage(4, false), 4);
    EXPECT_EQ(prefs::PersonalPageIndex(false), 4);
    EXPECT_EQ(prefs::PersonalPageIndex(true), 5);
    EXPECT_EQ(prefs::StartPage(5, false), prefs::kGeneralPage);
    EXPECT_EQ(prefs::StartPage(-1, true), prefs::kGeneralPage);
}
} // namespace
