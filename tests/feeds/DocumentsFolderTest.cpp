#include "feeds/DocumentsFolder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

using feeds::GetDocumentsDirectory;
using feeds::ParseUserDirsDocuments;

TEST(DocumentsFolderTest, UserDirsParsing)
{
    const char* home = "/home/ann";
    EXPECT_STREQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home).c_str(),
                 "/home/ann/Dokumente");
    EXPECT_STREQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOME\"", home).c_str(), "/home/ann");
    EXPECT_STREQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"/srv/docs/\"", home).c_str(), "/srv/docs");
    EXPECT_STREQ(ParseUserDirsDocuments("# XDG_DOCUMENTS_DIR=\"/nope\"\n"
                                        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                        "XDG_DOCUMENTS_DIR=\"$HOME/first\"\n"
                                        "  XDG_DOCUMENTS_DIR = \"$HOME/My \\\"Docs\\\"\"\n",
                                        home)
                     .c_str(),
                 "/home/ann/My \"Docs\"");
    // Not usable: relative, unquoted, unterminated, or a variable that only starts with HOME.
    EXPECT_TRUE(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"Documents\"", home).isEmpty());
    EXPECT_TRUE(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=/srv/docs", home).isEmpty());
    EXPECT_TRUE(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"/srv/docs", home).isEmpty());
    EXPECT_TRUE(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOMEDIR/x\"", home).isEmpty());
    EXPECT_TRUE(ParseUserDirsDocuments("XDG_DOCUMENTS_DIRX=\"/srv\"", home).isEmpty());
    EXPECT_TRUE(ParseUserDirsDocuments("", home).isEmpty());
}

TEST(DocumentsFolderTest, FoundAndCreatedUnderTheHome)
{
    testsupport::TempHome home;
    uString folder;
    ASSERT_TRUE(GetDocumentsDirectory(folder));
    EXPECT_EQ(std::string(folder.c_str()), home.file("Documents"));
    EXPECT_TRUE(testsupport::FileExists(home.file("Documents")));

    testsupport::TempDir root;
    testsupport::TempDir config;
    testsupport::ScopedEnv configHome("XDG_CONFIG_HOME", config.path());
    config.write("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers/2024\"\n");
    ASSERT_TRUE(GetDocumentsDirectory(folder));
    EXPECT_EQ(std::string(folder.c_str()), home.file("Papers/2024"));
    EXPECT_TRUE(testsupport::FileExists(home.file("Papers/2024")));

    // A regular file where a parent folder should be: cannot be created, even as root.
    root.write("blocker", "x");
    config.write("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + root.file("blocker") + "/Docs\"\n");
    uString untouched("before");
    EXPECT_FALSE(GetDocumentsDirectory(untouched));
    EXPECT_STREQ(untouched.c_str(), "before");
}

} // namespace
