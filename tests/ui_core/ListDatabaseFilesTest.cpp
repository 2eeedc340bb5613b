#include "mainwindow/ListDatabaseFiles.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace subscription;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace
{
class ListDatabaseFilesTest : public testing::Test
{
protected:
    uString Folder() const { return uString(m_folder.path().c_str()); }
    std::string At(const std::string& name) const { return m_folder.file(name); }

    testsupport::TempDir m_folder;
    testsupport::TempDir m_program;
};
} // namespace

TEST_F(ListDatabaseFilesTest, NewListsTakeTheFirstFreeNumber)
{
    EXPECT_STREQ(NextFreeListName(Folder()).c_str(), "user0.mdb");
    m_folder.write("user1.mdb", "x");
    EXPECT_STREQ(NextFreeListName(Folder()).c_str(), "user0.mdb") << "a gap is filled first";
    m_folder.write("user0.mdb", "x");
    EXPECT_STREQ(NextFreeListName(Folder()).c_str(), "user2.mdb");
    std::filesystem::create_directory(At("user2.mdb"));
    EXPECT_STREQ(NextFreeListName(Folder()).c_str(), "user3.mdb") << "anything at the path takes the name";
}

TEST_F(ListDatabaseFilesTest, ANewListIsACopyOfTheTemplateWithoutStaleJournals)
{
    std::string templatePath = m_program.write("template/default.mdb", "SQLite format 3 template bytes");
    m_folder.write("user0.mdb", "taken");
    m_folder.write("user1.mdb-wal", "journal of a list deleted by hand");
    m_folder.write("user1.mdb-shm", "index");

    uString name = CreateListDatabase(Folder(), uString(templatePath.c_str()));
    EXPECT_STREQ(name.c_str(), "user1.mdb");
    EXPECT_EQ(ReadFileBytes(At("user1.mdb")), "SQLite format 3 template bytes");
    EXPECT_FALSE(FileExists(At("user1.mdb-wal")));
    EXPECT_FALSE(FileExists(At("user1.mdb-shm")));

    EXPECT_TRUE(
        CreateListDatabase(Folder(), uString(m_program.file("template/missing.mdb").c_str())).isEmpty());
    EXPECT_FALSE(FileExists(At("user2.mdb"))) << "a failed copy leaves nothing behind";
}

TEST_F(ListDatabaseFilesTest, RemovingAListTakesItsJournalsOnlyWhenTheDatabaseWent)
{
    m_folder.write("user0.mdb", "db");
    m_folder.write("user0.mdb-wal", "wal");
    m_folder.write("user0.mdb-shm", "shm");
    EXPECT_TRUE(RemoveListDatabase(uString(At("user0.mdb").c_str())));
    EXPECT_FALSE(FileExists(At("user0.mdb")));
    EXPECT_FALSE(FileExists(At("user0.mdb-wal")));
    EXPECT_FALSE(FileExists(At("user0.mdb-shm")));

    // Something that cannot be deleted as a file (a folder with content)
    // keeps its journal, which may hold the last committed changes.
    m_folder.write("user1.mdb/inside", "x");
    m_folder.write("user1.mdb-wal", "committed");
    EXPECT_FALSE(RemoveListDatabase(uString(At("user1.mdb").c_str())));
    EXPECT_TRUE(FileExists(At("user1.mdb/inside")));
    EXPECT_EQ(ReadFileBytes(At("user1.mdb-wal")), "committed");
}

TEST_F(ListDatabaseFilesTest, OnlyANonEmptyFileIsAUsableDatabase)
{
    EXPECT_FALSE(IsListDatabaseUsable(uString(At("default.mdb").c_str())));
    m_folder.write("default.mdb", "");
    EXPECT_FALSE(IsListDatabaseUsable(uString(At("default.mdb").c_str())));
    m_folder.write("default.mdb", "x");
    EXPECT_TRUE(IsListDatabaseUsable(uString(At("default.mdb").c_str())));
    EXPECT_STREQ(ListDatabasePath(Folder(), uString()).c_str(), At("default.mdb").c_str())
        << "an empty name stands for the first list";
}
