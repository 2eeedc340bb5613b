#include "foundation/uDirectory.h"
#include "foundation/uFile.h"
#include "foundation/uProgramFolder.h"
#include "support/KilledSave.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace
{

std::string PathOf(const uFile& file)
{
    return file.getPath().c_str();
}

std::string DirectoryOf(const char* path)
{
    uString directory;
    uFile(path).getDirectory(directory);
    return directory.c_str();
}

std::string ReadAllOf(const std::string& path)
{
    uFile file(path.c_str());
    EXPECT_TRUE(file.open());
    uString text;
    EXPECT_TRUE(file.readAll(text));
    return std::string(text.c_str(), static_cast<size_t>(text.getLength()));
}

} // namespace

TEST(FileTest, PathsJoinWithExactlyOneSeparatorAndSplitAtTheLast)
{
    EXPECT_EQ(PathOf(uFile("/dir/", "/a.txt")), "/dir/a.txt");
    EXPECT_EQ(PathOf(uFile("/d/", "/m/", "/n")), "/d/m/n");
    // An empty directory must never turn the name into a path under the root.
    EXPECT_EQ(PathOf(uFile("", "a.txt")), "a.txt");

    uFile appended;
    appended.append("x");
    EXPECT_EQ(PathOf(appended), "x");
    appended += "y";
    EXPECT_EQ(PathOf(appended), "x/y");

    EXPECT_EQ(DirectoryOf("/data/a.xml"), "/data/");
    EXPECT_EQ(DirectoryOf("/a.txt"), "/");
    uString directory;
    EXPECT_FALSE(uFile("a.txt").getDirectory(directory));
    EXPECT_TRUE(directory.isEmpty());

    EXPECT_STREQ(uFile("/data/a.xml").getFileName(), "a.xml");
    // "\" is an ordinary character.
    EXPECT_STREQ(uFile("a\\b").getFileName(), "a\\b");
    EXPECT_EQ(DirectoryOf("c:\\x\\y"), "");

    uFile trailing("dir/sub/");
    EXPECT_TRUE(trailing.setFileName("other"));
    EXPECT_EQ(PathOf(trailing), "dir/other");
    uFile bare("a.txt");
    EXPECT_TRUE(bare.setFileName("b.txt"));
    EXPECT_EQ(PathOf(bare), "b.txt") << "a bare name is its own last component";
    uFile belowRoot("/a.txt");
    EXPECT_TRUE(belowRoot.setFileName("b.txt"));
    EXPECT_EQ(PathOf(belowRoot), "/b.txt");
    uFile root("/");
    EXPECT_FALSE(root.setFileName("x"));
    EXPECT_EQ(PathOf(root), "/");
}

TEST(FileTest, MakeValidFileNameKeepsFeedTitlesInsideTheirFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a/b:c?.txt", "abc.txt"},
        {"x\\y*<z>|", "xyz"},
        {"..", "_"},
        {".", "_"},
        {"/../", "_"},
        {"   ", "_"},
        {"", "_"},
        {"...", "..."},
        {"a\r\nb\tc", "abc"},
        {"\n#EXTINF:-1,x\r\n", "#EXTINF-1,x"},
        {"\r\n\t", "_"},
    };
    for (const auto& [title, expected] : cases)
    {
        uString name(title);
        MakeValidFileName(name);
        EXPECT_STREQ(name.c_str(), expected) << "title: " << title;
    }
    char dots[] = "..";
    MakeValidFileName(dots);
    EXPECT_STREQ(dots, "_");

    // No control character survives, whichever it is.
    std::string every = "x";
    for (int c = 1; c < 0x20; ++c)
        every += static_cast<char>(c);
    every += "\x7F\xC3\xA9"; // UTF-8 text stays
    uString name(every.c_str());
    MakeValidFileName(name);
    EXPECT_STREQ(name.c_str(), "x\xC3\xA9");
}

TEST(FileTest, SafeFileNameCutsLongFeedTextToOneNameAFileSystemTakes)
{
    auto safe = [](const std::string& text)
    { return std::string(SafeFileName(uString(text.c_str())).c_str()); };
    // Within the limit a name is what MakeValidFileName makes it, so names
    // stored before the cut still match.
    const std::string limit = std::string(kMaxFeedNameBytes - 4, 'a') + ".mp3";
    EXPECT_EQ(safe(limit), limit);
    EXPECT_EQ(safe("a/b:c?.txt"), "abc.txt");
    EXPECT_EQ(safe(".."), "_");

    std::string cjk; // 100 three-byte characters
    for (int i = 0; i < 100; ++i)
        cjk += "\xE6\x97\xA5";
    const std::string encoded = []
    {
        std::string text;
        for (int i = 0; i < 33; ++i)
            text += "%E3%81%82";
        return text;
    }();
    const std::pair<std::string, std::string> cases[] = {
        // extension kept, the rest cut on a character boundary
        {cjk + ".mp3", cjk.substr(0, 195) + ".mp3"},
        {cjk, cjk.substr(0, 198)},
        {encoded + ".mp3", encoded.substr(0, 196) + ".mp3"},
        // a last "." far from the end is part of the title, not an extension
        {"Vol. " + cjk, ("Vol. " + cjk).substr(0, 200)},
        // what MakeValidFileName removes does not count
        {std::string(150, 'x') + std::string(100, '/') + "y.ogg", std::string(150, 'x') + "y.ogg"},
    };
    for (const auto& [text, expected] : cases)
    {
        const std::string name = safe(text);
        EXPECT_EQ(name, expected) << text;
        EXPECT_LE(name.size(), static_cast<std::size_t>(kMaxFeedNameBytes));
        EXPECT_EQ(safe(name), name) << "cutting again changes nothing";
    }
}

TEST(FileTest, QueriesAnswerForWhatLiesAtThePath)
{
    TempDir dir;
    std::string file = dir.write("sub/f.txt", "0123456789");
    dir.write(".hidden", "x");

    EXPECT_EQ(uFile(file.c_str()).getSize(), 10);
    EXPECT_TRUE(uFile((dir.path() + "/sub/").c_str()).isDirectory());
    EXPECT_EQ(uFile((dir.path() + "/sub").c_str()).getSize(), 0);
    EXPECT_TRUE(uFile("/").isDirectory());
    EXPECT_FALSE(uFile(dir.file(".hidden").c_str()).isVisible());
    EXPECT_TRUE(uFile(file.c_str()).isVisible());

    // Absolute paths are made lexically, from existing paths only.
    char* absolute = GetAbsolutePath((dir.path() + "/sub/../sub/./f.txt").c_str());
    ASSERT_NE(absolute, nullptr);
    EXPECT_EQ(std::string(absolute), dir.path() + "/sub/f.txt");
    std::free(absolute);

    EXPECT_EQ(GetAbsolutePath(dir.file("missing").c_str()), nullptr);

    uFile relative((dir.path() + "/sub/..").c_str(), uFile::kModeAppend);
    uFile target;
    EXPECT_TRUE(relative.getAbsolute(target));
    EXPECT_EQ(PathOf(target), dir.path());
}

TEST(FileTest, AnOpenFileIsHeldExclusively)
{
    TempDir dir;
    std::string path = dir.write("held.txt", "keep me");
    uFile holder(path.c_str(), uFile::kModeRead);
    ASSERT_TRUE(holder.open());
    EXPECT_FALSE(holder.open()) << "opening twice keeps the first handle";
    EXPECT_TRUE(holder.isOpen());

    uFile reader(path.c_str(), uFile::kModeRead);
    EXPECT_FALSE(reader.open());
    uFile writer(path.c_str(), uFile::kModeWrite);
    EXPECT_FALSE(writer.open());
    EXPECT_EQ(ReadFileBytes(path), "keep me") << "a refused write open must not empty the file";

    uFile remover(path.c_str());
    EXPECT_FALSE(remover.remove());
    uFile mover(path.c_str());
    EXPECT_FALSE(mover.moveTo(dir.file("moved.txt").c_str()));
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(FileExists(dir.file("moved.txt")));

    EXPECT_TRUE(holder.close());
    EXPECT_FALSE(holder.close());
    EXPECT_TRUE(reader.open());
    EXPECT_FALSE(uFile(dir.path().c_str()).open()) << "a directory is no file";
}

TEST(FileTest, ReadsReportTheEndOfTheFileAndKeepEveryByte)
{
    TempDir dir;
    std::string path = dir.write("lines.txt", std::string("a\r\n\r\nb\nlast", 12));
    uFile file(path.c_str());
    ASSERT_TRUE(file.open());
    uString line;
    EXPECT_TRUE(file.readLine(line));
    EXPECT_STREQ(line.c_str(), "a");
    EXPECT_FALSE(file.readLine(line)) << "an empty line reads like the end";
    EXPECT_TRUE(file.readLine(line));
    EXPECT_STREQ(line.c_str(), "b");
    EXPECT_TRUE(file.readLine(line));
    EXPECT_STREQ(line.c_str(), "last");
    char buffer[8];
    uint32_t count = sizeof buffer;
    EXPECT_TRUE(file.read(buffer, &count));
    EXPECT_EQ(count, uFile::kEndOfFile);

    std::string binary("head\0tail\0\xff", 11);
    EXPECT_EQ(ReadAllOf(dir.write("binary.bin", binary)), binary);
    std::string big(200000, 'q');
    big[100000] = '\0';
    EXPECT_EQ(ReadAllOf(dir.write("big.bin", big)), big);
}

TEST(FileTest, WritesNumbersAndTextAndAppendsAtTheEnd)
{
    TempDir dir;
    std::string path = dir.file("out.bin");
    uFile file(path.c_str(), uFile::kModeWrite);
    EXPECT_FALSE(file.writeInt64(1)) << "closed";
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.writeByte(0x41));
    EXPECT_TRUE(file.writeInt32(static_cast<int32_t>(0x04030201)));
    EXPECT_TRUE(file.writeInt64(0x0807060504030201LL));
    EXPECT_TRUE(file.writeText("hi"));
    file.close();
    EXPECT_EQ(ReadFileBytes(path),
              std::string("A\x01\x02\x03\x04\x01\x02\x03\x04\x05\x06\x07\x08hi\r\n", 17));

    uFile appender(path.c_str(), uFile::kModeAppend);
    ASSERT_TRUE(appender.open());
    EXPECT_TRUE(appender.writeText("more"));
    appender.close();
    EXPECT_EQ(ReadFileBytes(path).substr(13), "hi\r\nmore\r\n");

    // Mode 2 empties an existing file once it is held.
    uFile rewriter(path.c_str(), uFile::kModeWrite);
    ASSERT_TRUE(rewriter.open());
    rewriter.close();
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST(FileTest, SeekClampsToTheEndAndSetLengthShrinksAndGrows)
{
    TempDir dir;
    std::string path = dir.write("ten.txt", "0123456789");
    uFile file(path.c_str(), uFile::kModeAppend);
    EXPECT_EQ(file.seek(3, 0), 0) << "closed";
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.seek(100, 0), 10);
    EXPECT_EQ(file.seek(4, 0), 4);
    EXPECT_EQ(file.seek(2, 1), 6) << "from the position before the call";
    EXPECT_EQ(file.seek(-1, 2), 9);

    EXPECT_TRUE(file.setLength(4));
    EXPECT_TRUE(file.writeText("x"));
    file.close();
    EXPECT_EQ(ReadFileBytes(path), "0123x\r\n");

    uFile closed(path.c_str());
    EXPECT_TRUE(closed.setLength(3));
    EXPECT_EQ(ReadFileBytes(path), "012");
    const int64_t beyondFourGiB = (int64_t{1} << 32) + 5;
    ASSERT_TRUE(closed.setLength(beyondFourGiB));
    EXPECT_EQ(closed.getSize(), beyondFourGiB);
    ASSERT_TRUE(closed.open());
    EXPECT_EQ(closed.seek(beyondFourGiB - 1, 0), beyondFourGiB - 1);
    EXPECT_FALSE(uFile(dir.file("missing").c_str()).setLength(1));
}

TEST(FileTest, MapViewMapsTheWholeFileWithoutEmptyingIt)
{
    TempDir dir;
    std::string path = dir.write("page.html", "<html>body</html>");
    uFile file(path.c_str());
    uint64_t size = 0;
    const char* view = static_cast<const char*>(file.mapView(&size));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, size), "<html>body</html>");
    EXPECT_TRUE(file.close());

    std::string writable = dir.write("writable.bin", "abc");
    uFile shared(writable.c_str());
    char* bytes = static_cast<char*>(shared.mapView(&size, uFile::kModeWrite));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(bytes, size), "abc");
    bytes[0] = 'X';
    shared.close();
    EXPECT_EQ(ReadFileBytes(writable), "Xbc");

    uFile empty(dir.write("empty.txt", "").c_str());
    EXPECT_EQ(empty.mapView(&size), nullptr);
}

TEST(FileTest, RemoveIsTrueWhenNothingIsLeft)
{
    TempDir dir;
    EXPECT_TRUE(uFile(dir.file("absent").c_str()).remove());
    EXPECT_FALSE(uFile(dir.path().c_str()).remove());
    uFile file(dir.write("f", "x").c_str(), uFile::kModeAppend);
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.remove()) << "the object's own open file is closed first";
    EXPECT_FALSE(FileExists(dir.file("f")));
}

TEST(FileTest, EnsureDirectoryCreatesTheChainAndStopsOnTrailingSeparators)
{
    TempDir dir;
    uFile chain((dir.path() + "/a/b/c/").c_str());
    EXPECT_TRUE(chain.ensureDirectory());
    EXPECT_TRUE(IsDirectory((dir.path() + "/a/b/c").c_str()));
    EXPECT_FALSE(chain.ensureDirectory()) << "it already existed";
    EXPECT_TRUE(chain.ensurePath());
    EXPECT_TRUE(uFile("/").ensurePath());

    std::string blocker = dir.write("file", "x");
    EXPECT_FALSE(uFile((blocker + "/sub/deeper").c_str()).ensureDirectory());
    EXPECT_FALSE(uFile((blocker + "/sub").c_str()).ensurePath());
}

TEST(FileTest, ConcurrentEnsurePathCallsAllSucceed)
{
    TempDir dir;
    std::string target = dir.path() + "/x/y/z/w";
    std::vector<std::thread> threads;
    std::vector<int> results(8, 0);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] { results[i] = uFile(target.c_str()).ensurePath() ? 1 : 0; });
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(results[i], 1) << "thread " << i;
    EXPECT_TRUE(IsDirectory(target.c_str()));
}

TEST(FileTest, MoveNeverReplacesAnExistingTarget)
{
    TempDir dir;
    std::string source = dir.write("source.txt", "source");
    std::string target = dir.write("target.txt", "target");
    uFile file(source.c_str());
    EXPECT_FALSE(file.moveTo(target.c_str()));
    EXPECT_EQ(ReadFileBytes(source), "source");
    EXPECT_EQ(ReadFileBytes(target), "target");
    EXPECT_EQ(PathOf(file), source);

    EXPECT_TRUE(file.moveTo(dir.file("renamed.txt").c_str()));
    EXPECT_EQ(PathOf(file), dir.file("renamed.txt"));
    EXPECT_EQ(ReadFileBytes(dir.file("renamed.txt")), "source");
    EXPECT_FALSE(FileExists(source));
    EXPECT_FALSE(uFile(dir.file("absent").c_str()).moveTo(dir.file("elsewhere").c_str()));
}

TEST(FileTest, MoveCopiesAcrossFileSystems)
{
    TempDir dir;
    struct stat here, shm;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().c_str(), &here) != 0 || shm.st_dev == here.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    std::string source = dir.write("cross.bin", std::string(100000, 'c'));
    std::string target = "/dev/shm/kestrova-move-" + std::to_string(::getpid());
    uFile file(source.c_str());
    EXPECT_TRUE(file.moveTo(target.c_str()));
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(ReadFileBytes(target), std::string(100000, 'c'));
    ::unlink(target.c_str());
}

TEST(FileTest, ReplaceContentsSwapsTheWholeFileAtOnce)
{
    TempDir dir;
    std::string path = dir.write("download.xml", "old");
    uFile file(path.c_str());
    ASSERT_TRUE(file.replaceContents("new content", 11, 0600));
    EXPECT_EQ(ReadFileBytes(path), "new content");
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::string temporary = dir.write("download.tmp", "from temp");
    uFile holder(path.c_str());
    ASSERT_TRUE(holder.open());
    EXPECT_FALSE(file.replaceWith(temporary.c_str())) << "the target is held open";
    holder.close();
    EXPECT_TRUE(file.replaceWith(temporary.c_str()));
    EXPECT_EQ(ReadFileBytes(path), "from temp");
    EXPECT_FALSE(FileExists(temporary));

    std::string blocked = dir.write("plain", "x") + "/inside.xml";
    EXPECT_FALSE(uFile(blocked.c_str()).replaceContents("y", 1));
    EXPECT_EQ(ReadFileBytes(dir.file("plain")), "x");
}

// A write killed before its rename leaves a hidden file carrying the
// program's mark, the target untouched: the form the clean-up at start looks for.
TEST(FileTest, AKilledReplacementLeavesOnlyAMarkedHiddenFile)
{
    TempDir dir;
    const std::string target = dir.write("config.xml", "old");
    const std::string content(64 * 1024, 'n');
    ASSERT_TRUE(testsupport::RunKilledInsideWrite(
        [&] { uFile(target.c_str()).replaceContents(content.data(), content.size()); }, 4096));
    EXPECT_EQ(ReadFileBytes(target), "old");
    std::vector<std::string> others;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename() != "config.xml")
            others.push_back(entry.path().filename().string());
    ASSERT_EQ(others.size(), 1u);
    const std::string& leftover = others[0];
    EXPECT_EQ(leftover.rfind(".config.xml.kestrova-", 0), 0u) << leftover;
    EXPECT_TRUE(IsReplacementTemp(leftover, "config.xml")) << leftover;
    EXPECT_EQ(ReplacementTempTarget(leftover), "config.xml");
    EXPECT_EQ(ReadFileBytes(dir.file(leftover)), content.substr(0, 4096));
}

// The mark makes a name longer: a target near the longest name still saves,
// its temporary name cut to fit, and nothing is left beside it.
TEST(FileTest, ReplacementOfALongNameFitsItsTemporaryName)
{
    TempDir dir;
    // 3-byte characters, so that the cut falls inside one.
    std::string name;
    while (name.size() < 250)
        name += "\xe2\x82\xac";
    const std::string path = dir.file(name);
    ASSERT_TRUE(uFile(path.c_str()).replaceContents("x", 1));
    EXPECT_EQ(ReadFileBytes(path), "x");
    const std::string prefix = ReplacementTempPrefix(name);
    EXPECT_LE(prefix.size() + 6, 255u);
    EXPECT_GT(prefix.size() + 6, 250u);
    EXPECT_EQ((prefix.size() - std::string(".").size() - std::string(".kestrova-").size()) % 3, 0u)
        << "whole characters only";
    EXPECT_TRUE(IsReplacementTemp(prefix + "a1B2c3", name));
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        entries += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1u);
}

TEST(FileTest, CopiesTakeThePathAndModeButNeverTheOpenFile)
{
    TempDir dir;
    std::string first = dir.write("first", "1");
    std::string second = dir.write("second", "2");
    uFile held(first.c_str(), uFile::kModeAppend);
    ASSERT_TRUE(held.open());
    uFile copy(held);
    EXPECT_FALSE(copy.isOpen());

    held.copyFrom(uFile(second.c_str()));
    EXPECT_FALSE(held.isOpen());
    EXPECT_EQ(PathOf(held), second);
    uFile other(first.c_str());
    EXPECT_TRUE(other.open()) << "the first file was closed, not leaked";
}

TEST(FileTest, ProgramFolderComesFromTheEnvironmentOrTheExecutable)
{
    {
        ScopedEnv program("KESTROVA_PROGRAM_DIR", "/opt/kestrova");
        EXPECT_STREQ(GetModuleDirectory().c_str(), "/opt/kestrova");
    }
    ScopedEnv unset("KESTROVA_PROGRAM_DIR", "");
    std::string folder = GetModuleDirectory().c_str();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(IsRegularFile((folder + "/foundation_tests").c_str()));
}
