#include "foundation/uDirectory.h"
#include "foundation/uFile.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <list>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace
{

void SetModifiedTime(const std::string& path, time_t seconds)
{
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::vector<std::string> TakeNames(char** names)
{
    std::vector<std::string> result;
    for (char** name = names; name && *name; ++name)
    {
        result.emplace_back(*name);
        std::free(*name);
    }
    std::free(names);
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace

TEST(DirectoryTest, CopyFileFollowsItsPolicy)
{
    TempDir dir;
    std::string source = dir.write("source.txt", "new");
    std::string destination = dir.write("destination.txt", "old");

    SetModifiedTime(source, 1000);
    SetModifiedTime(destination, 2000);
    EXPECT_TRUE(CopyFile(source.c_str(), destination.c_str(), uFile::kCopyUnlessNewer));
    EXPECT_EQ(ReadFileBytes(destination), "old") << "the destination is newer";
    SetModifiedTime(destination, 1000);
    EXPECT_TRUE(CopyFile(source.c_str(), destination.c_str(), uFile::kCopyUnlessNewer));
    EXPECT_EQ(ReadFileBytes(destination), "new") << "equal times copy";

    dir.write("destination.txt", "kept");
    EXPECT_TRUE(CopyFile(source.c_str(), destination.c_str(), uFile::kCopyUnlessExists));
    EXPECT_EQ(ReadFileBytes(destination), "kept");
    EXPECT_TRUE(CopyFile(source.c_str(), destination.c_str(), uFile::kCopyAlways));
    EXPECT_EQ(ReadFileBytes(destination), "new");
}

TEST(DirectoryTest, CopyFileRefusesWithoutTouchingTheDestination)
{
    TempDir dir;
    std::string hidden = dir.write(".secret", "x");
    EXPECT_FALSE(CopyFile(hidden.c_str(), dir.file("copy").c_str(), uFile::kCopyAlways));
    EXPECT_FALSE(FileExists(dir.file("copy")));

    EXPECT_FALSE(CopyFile(dir.path().c_str(), dir.file("copy").c_str(), uFile::kCopyAlways));
    EXPECT_FALSE(FileExists(dir.file("copy")));

    std::string source = dir.write("source", "x");
    // Copying a file onto itself must not empty it.
    EXPECT_FALSE(CopyFile(source.c_str(), source.c_str(), uFile::kCopyAlways));
    EXPECT_EQ(ReadFileBytes(source), "x");
}

TEST(DirectoryTest, AFailedReadLeavesNoShortCopy)
{
    // Reading this process's memory from address 0 fails with an I/O error.
    TempDir dir;
    std::string destination = dir.file("copy");
    ASSERT_TRUE(IsRegularFile("/proc/self/mem"));
    EXPECT_FALSE(CopyFile("/proc/self/mem", destination.c_str(), uFile::kCopyAlways));
    EXPECT_FALSE(FileExists(destination));
}

TEST(DirectoryTest, CopyDirectoryCopiesFilesAndReportsSubdirectories)
{
    TempDir dir;
    dir.write("source/a.txt", "a");
    dir.write("source/b.txt", "b");
    dir.write("source/sub/c.txt", "c");
    std::string source = dir.file("source");
    std::string destination = dir.file("destination");

    EXPECT_FALSE(CopyDirectory(source.c_str(), destination.c_str()));
    EXPECT_EQ(ReadFileBytes(destination + "/a.txt"), "a");
    EXPECT_EQ(ReadFileBytes(destination + "/b.txt"), "b");
    EXPECT_FALSE(FileExists(destination + "/sub"));

    RemoveDirectoryTree((source + "/sub").c_str());
    dir.write("source/a.txt", "a2");
    EXPECT_TRUE(uFile(destination.c_str()).copyDirectoryFrom(source.c_str()));
    EXPECT_EQ(ReadFileBytes(destination + "/a.txt"), "a2");

    EXPECT_FALSE(CopyDirectory(source.c_str(), dir.file("missing/parent/destination").c_str()));
    EXPECT_FALSE(FileExists(dir.file("missing")));
}

TEST(DirectoryTest, ListingReturnsEveryEntry)
{
    TempDir dir;
    std::string folder = dir.file("many");
    ASSERT_TRUE(MakeDirectory(folder.c_str()));
    std::vector<std::string> expected;
    for (int i = 0; i < 3000; ++i)
    {
        std::string name = "entry" + std::to_string(i);
        int descriptor = ::open((folder + "/" + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(descriptor, 0);
        ::close(descriptor);
        expected.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TakeNames(ListFileNames(folder.c_str())), expected);
    EXPECT_EQ(ListFileNames(""), nullptr);
    EXPECT_TRUE(TakeNames(ListFileNames(dir.file("missing").c_str())).empty());

    std::list<uFile> entries{uFile("stale")};
    EXPECT_TRUE(uFile((folder + "/../many").c_str()).listDirectory(entries));
    ASSERT_EQ(entries.size(), 3000u);
    const uFile& first = entries.front();
    EXPECT_EQ(std::string(first.getPath().c_str()), folder + "/" + first.getFileName());
    EXPECT_FALSE(uFile(dir.write("file", "x").c_str()).listDirectory(entries));
}

// The printed listing is the only one that keeps "." and "..", each name
// on a line of its own ended by CR LF.
TEST(DirectoryTest, PrintedListingsHoldEveryEntryOnACrLfLine)
{
    TempDir dir;
    dir.write("few/a", "x");
    dir.write("few/b", "y");
    char* text = nullptr;
    size_t size = 0;
    FILE* stream = ::open_memstream(&text, &size);
    ASSERT_NE(stream, nullptr);
    PrintDirectory(stream, dir.file("few").c_str());
    PrintDirectory(stream, "");
    uFile(dir.file("missing").c_str()).printDirectory(stream);
    std::fclose(stream);
    std::string printed(text, size);
    std::free(text);

    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = printed.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(printed.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{".", "..", "a", "b"}));
    EXPECT_EQ(printed.size(), std::string(".\r\n..\r\na\r\nb\r\n").size()) << "nothing but the lines";
}

TEST(DirectoryTest, RemoveDirectoryTreeNeverFollowsSymbolicLinks)
{
    TempDir dir;
    std::string outside = dir.write("outside/precious.txt", "keep");
    dir.write("tree/a/b/file.txt", "x");
    dir.write("tree/top.txt", "y");
    std::string tree = dir.file("tree");
    ASSERT_EQ(::symlink(dir.file("outside").c_str(), (tree + "/a/link-to-outside").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("nowhere").c_str(), (tree + "/a/b/dangling").c_str()), 0);

    uFile(tree.c_str()).removeDirectory();
    EXPECT_FALSE(FileExists(tree));
    struct stat info;
    EXPECT_NE(::lstat((tree + "/a/b/dangling").c_str(), &info), 0);
    EXPECT_EQ(ReadFileBytes(outside), "keep");

    // A link named as the tree itself is left alone, and so is its target.
    std::string link = dir.file("link");
    ASSERT_EQ(::symlink(dir.file("outside").c_str(), link.c_str()), 0);
    RemoveDirectoryTree(link.c_str());
    EXPECT_EQ(ReadFileBytes(outside), "keep");
    EXPECT_EQ(::lstat(link.c_str(), &info), 0);
}
