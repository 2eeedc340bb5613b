#include "foundation/uHash.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace
{

std::string hexOf(uHash& hash)
{
    uString hex;
    EXPECT_TRUE(hash.getHexDigest(hex));
    return hex.c_str();
}

std::string md5Of(const std::string& text)
{
    uMD5 md5(0);
    md5.hashString(text.c_str());
    return hexOf(md5);
}

TEST(DigestTest, Md5MatchesTheRfc1321Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, expected] : vectors)
        EXPECT_EQ(md5Of(input), expected) << "input \"" << input << "\"";
}

TEST(DigestTest, Md5PadsCorrectlyAroundTheBlockBoundary)
{
    // 55 bytes leave room for the length in the same block, 56 do not, and 63
    // to 65 cross into a second block.
    const std::pair<std::size_t, const char*> vectors[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"}, {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const auto& [length, expected] : vectors)
        EXPECT_EQ(md5Of(std::string(length, 'a')), expected) << length << " bytes";
}

TEST(DigestTest, Md5SplitUpdatesEqualOneShot)
{
    std::string text =
        "The quick brown fox jumps over the lazy dog, again and again, until the block fills up";
    uMD5 pieces(0);
    auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    pieces.update(bytes, 0, 3);
    pieces.updateByte(bytes[3]);
    pieces.update(bytes, 4, 60);
    pieces.updateString(text.c_str() + 64);
    pieces.final();
    EXPECT_EQ(hexOf(pieces), md5Of(text));

    // reset starts over with the same seed.
    pieces.reset();
    pieces.hashString("abc");
    EXPECT_EQ(hexOf(pieces), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(DigestTest, Md5SeedDigestReadsAndCopiesStayInBounds)
{
    uMD5 md5(0);
    // Before any final the digest reads as zeros, never as stale memory.
    md5.updateString("abc");
    EXPECT_EQ(hexOf(md5), std::string(32, '0'));
    unsigned char buffer[20];
    std::memset(buffer, 0xAA, sizeof buffer);
    EXPECT_EQ(md5.getDigest(buffer, 2, 18), 16);
    EXPECT_EQ(buffer[1], 0xAA);
    EXPECT_EQ(buffer[2], 0x90); // first byte of MD5("abc")
    EXPECT_EQ(buffer[17], 0x72);
    EXPECT_EQ(buffer[18], 0xAA);

    uMD5 seeded(1);
    seeded.hashString("abc");
    EXPECT_NE(hexOf(seeded), "900150983cd24fb0d6963f7d28e17f72");
    uMD5 wrapped(0xFFFFFFFFu);
    wrapped.hashString("abc");
    EXPECT_NE(hexOf(wrapped), hexOf(seeded));

    uCRC32 crc;
    crc.updateString("123456789");
    EXPECT_EQ(crc.getDigest(buffer, 0, 2), 2);
    // Least significant byte first.
    EXPECT_EQ(buffer[0], 0x26);
    EXPECT_EQ(buffer[1], 0x39);
}

TEST(DigestTest, Crc32MatchesTheCheckValue)
{
    uCRC32 crc;
    // The register as it stands before any input.
    EXPECT_EQ(hexOf(crc), "ffffffff");
    crc.hashString("123456789");
    EXPECT_EQ(hexOf(crc), "cbf43926");
    crc.final();
    EXPECT_EQ(hexOf(crc), "340bc6d9");

    crc.reset();
    std::string bytes;
    for (int round = 0; round < 4; ++round)
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
    crc.update(reinterpret_cast<const unsigned char*>(bytes.data()), 0, static_cast<int>(bytes.size()));
    crc.final();
    EXPECT_EQ(hexOf(crc), "b70b4c26");
}

} // namespace
