#include "mainwindow/ProfileStore.h"

#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

TEST(ProfileStore, KeepsValuesUnderTheUsersConfigurationFolderAcrossRuns)
{
    testsupport::TempHome home;
    const std::string path = CProfileStore::DefaultPath();
    EXPECT_EQ(path.rfind(home.path(), 0), 0u) << path << " lies under the temporary home";
    {
        CProfileStore profile;
        EXPECT_EQ(profile.GetProfileInt("", "LanguageId", 0), 0) << "a missing value gives the default";
        EXPECT_TRUE(profile.WriteProfileInt("", "LanguageId", 0x0407));
        EXPECT_TRUE(profile.WriteProfileString("Settings", "Last Folder", "/home/ü/Podcasts"));
    }
    EXPECT_TRUE(testsupport::FileExists(path));

    CProfileStore again;
    EXPECT_EQ(again.GetProfileInt("", "LanguageId", 0), 0x0407);
    EXPECT_EQ(again.GetProfileString("Settings", "Last Folder"), "/home/ü/Podcasts");
    EXPECT_EQ(again.GetProfileInt("Settings", "LanguageId", -1), -1) << "sections keep their values apart";
}

TEST(ProfileStore, TheUpdateAddressesLiveInTheSectionTheReadmeNames)
{
    testsupport::TempHome home;
    {
        CProfileStore profile;
        profile.WriteProfileString("Update", "VersionUrl",
                                   "https://updates.example.org/kestrova/version.txt");
    }
    EXPECT_NE(testsupport::ReadFileBytes(CProfileStore::DefaultPath())
                  .find("[Pellam\\ System\\ LLC\\ -\\ Kestrova\\ RSS\\ Reader/Update]\n"
                        "VersionUrl=https://updates.example.org/kestrova/version.txt\n"),
              std::string::npos);
    // Written by hand, as the README shows it, the value is read back.
    {
        std::ofstream file(CProfileStore::DefaultPath(), std::ios::trunc);
        file << "[Pellam\\ System\\ LLC\\ -\\ Kestrova\\ RSS\\ Reader/Update]\n"
                "DownloadPage=https://updates.example.org/kestrova/\n";
    }
    EXPECT_EQ(CProfileStore().GetProfileString("Update", "DownloadPage"),
              "https://updates.example.org/kestrova/");
}
