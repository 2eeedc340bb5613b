#include "mainwindow/Registry.h"

#include "mainwindow/ProfileStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

using namespace registry;
using testsupport::ReadFileBytes;

namespace
{
class RegistryTest : public testing::Test
{
protected:
    std::string Read(const std::string& key, const std::string& name)
    {
        std::string value;
        return RegReadString(Root(), key, name, value) ? value : "<none>";
    }
    RegistryRoot Root() { return CurrentUser(*m_profile); }

    testsupport::TempDir m_dir;
    std::unique_ptr<CProfileStore> m_profile = std::make_unique<CProfileStore>(m_dir.file("profile.ini"));
};
} // namespace

TEST_F(RegistryTest, TheUsersKeysAreGroupsOfTheProfileAndOtherRootsAreAbsent)
{
    RegWriteString(Root(), "Software\\Kestrova", "Path", "/opt/kestrova");
    RegWriteString(Root(), "Software\\Kestrova", "", "default value");
    EXPECT_EQ(Read("Software\\Kestrova", "Path"), "/opt/kestrova");
    EXPECT_EQ(Read("Software\\Kestrova", ""), "default value");
    EXPECT_EQ(Read("Software\\Kestrova", "Missing"), "<none>");
    RegWriteString(Root(), "Software\\Kestrova", "Empty", "");
    EXPECT_EQ(Read("Software\\Kestrova", "Empty"), "") << "an empty value exists";

    // A value goes whole or not at all: 1023 characters are the most.
    const std::string longest(kMaxValueLength - 1, 'x');
    RegWriteString(Root(), "Software\\Kestrova", "Long", longest + "\xC3\xA9");
    EXPECT_EQ(Read("Software\\Kestrova", "Long"), longest + "\xC3\xA9");
    RegWriteString(Root(), "Software\\Kestrova", "Long", longest + "xy");
    EXPECT_EQ(Read("Software\\Kestrova", "Long"), longest + "\xC3\xA9");

    // Names that would step elsewhere in the file open nothing.
    RegistryKey key;
    EXPECT_FALSE(RegOpenKey(Root(), "Software\\..\\Other", true, key));
    EXPECT_FALSE(RegOpenKey(Root(), "", true, key));
    EXPECT_FALSE(RegOpenKey(Root(), "a/b", true, key));

    // Reading a missing key makes it, empty.
    EXPECT_FALSE(RegOpenKey(Root(), "Software\\New", false, key));
    EXPECT_EQ(Read("Software\\New", "Any"), "<none>");
    EXPECT_TRUE(RegOpenKey(Root(), "Software\\New", false, key));

    // The machine-wide roots belong to other programs: absent.
    RegWriteString(ClassesRoot(), ".rss", "", "rssfile");
    std::string value = "stale";
    EXPECT_FALSE(RegReadString(ClassesRoot(), ".rss", "", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(RegReadString(LocalMachine(), "SOFTWARE\\Classes", "", value));

    // Kept in the file across runs.
    m_profile.reset();
    m_profile = std::make_unique<CProfileStore>(m_dir.file("profile.ini"));
    EXPECT_EQ(Read("Software\\Kestrova", "Path"), "/opt/kestrova");
    EXPECT_NE(ReadFileBytes(m_dir.file("profile.ini")).find("@=default value\n"), std::string::npos);
}

TEST_F(RegistryTest, TakingOverAnExtensionKeepsItsEarlierTypeOnlyWhenThePlayersTypeExists)
{
    // No player's type on the system: the extension stays as it is.
    RegWriteString(Root(), ".mp3", "", "otherfile");
    TakeOverExtension(Root(), ".mp3", "mp3file");
    EXPECT_EQ(Read(".mp3", ""), "otherfile");
    EXPECT_EQ(Read(".mp3", "Kestrova.Backup"), "<none>");
    // This system's own classes root has none at all.
    TakeOverExtension(ClassesRoot(), ".mp3", "mp3file");
    EXPECT_EQ(Read(".mp3", ""), "otherfile");

    // With the type present, the earlier one is kept aside.
    RegWriteString(Root(), "mp3file", "", "MP3 Format Sound");
    TakeOverExtension(Root(), ".mp3", "mp3file");
    EXPECT_EQ(Read(".mp3", ""), "mp3file");
    EXPECT_EQ(Read(".mp3", "Kestrova.Backup"), "otherfile");

    // Already pointing there: nothing is written, the backup stays.
    RegWriteString(Root(), ".mp3", "Kestrova.Backup", "kept");
    TakeOverExtension(Root(), ".mp3", "mp3file");
    EXPECT_EQ(Read(".mp3", "Kestrova.Backup"), "kept");

    // An extension without a type gets an empty backup.
    RegWriteString(Root(), "WPLFile", "", "Windows Media Playlist");
    TakeOverExtension(Root(), ".wpl", "WPLFile");
    EXPECT_EQ(Read(".wpl", ""), "WPLFile");
    EXPECT_EQ(Read(".wpl", "Kestrova.Backup"), "");
}
