#include "foundation/uBase64.h"
#include "foundation/uFile.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace
{

std::string AllBytes(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

std::string EncodedByString(const std::string& bytes)
{
    uString out;
    uString source;
    for (char c : bytes)
        source.append(c);
    Base64Encode(source, out);
    return std::string(out.c_str(), static_cast<size_t>(out.getLength()));
}

} // namespace

TEST(Base64FileTest, FilesEncodeLikeTextAndDecodeBackToTheSameBytes)
{
    TempDir dir;
    for (size_t size : {size_t{0}, size_t{1}, size_t{54}, size_t{55}, size_t{100000}})
    {
        std::string bytes = AllBytes(size);
        uFile source(dir.write("plain.bin", bytes).c_str());
        uFile encoded(dir.file("encoded.txt").c_str(), uFile::kModeAppend);
        ASSERT_TRUE(Base64EncodeFile(source, encoded)) << size;
        EXPECT_FALSE(source.isOpen());
        EXPECT_FALSE(encoded.isOpen());
        EXPECT_EQ(encoded.getMode(), uFile::kModeWrite);
        EXPECT_EQ(ReadFileBytes(dir.file("encoded.txt")), EncodedByString(bytes)) << size;

        uFile decoded(dir.file("decoded.bin").c_str());
        ASSERT_TRUE(Base64DecodeFile(encoded, decoded)) << size;
        EXPECT_EQ(ReadFileBytes(dir.file("decoded.bin")), bytes) << size;
    }
}

TEST(Base64FileTest, AFailedOpenOrWriteIsReported)
{
    TempDir dir;
    uFile missing(dir.file("missing").c_str());
    uFile untouched(dir.write("keep.txt", "keep").c_str());
    EXPECT_FALSE(Base64EncodeFile(missing, untouched));
    EXPECT_EQ(ReadFileBytes(dir.file("keep.txt")), "keep");

    // A file-size limit makes the writes fail part-way.
    uFile source(dir.write("big.bin", AllBytes(300000)).c_str());
    uFile target(dir.file("limited.txt").c_str());
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool encoded = Base64EncodeFile(source, target);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(encoded);
    EXPECT_FALSE(target.isOpen());
    EXPECT_TRUE(FileExists(dir.file("limited.txt")));
}
