#include "foundation/uBase64.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace
{

std::string bytes(const uString& s)
{
    return std::string(s.c_str(), static_cast<size_t>(s.getLength()));
}

uString fromBytes(const std::string& data)
{
    uString s;
    for (char c : data)
        s.append(c);
    return s;
}

TEST(Base64Test, Rfc4648VectorsBothWays)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors)
    {
        const std::string expected = *encoded ? std::string(encoded) + "\r\n" : "";
        EXPECT_EQ(bytes(Base64Encode(uString(plain))), expected) << plain;
        EXPECT_EQ(bytes(Base64Decode(uString(encoded))), plain) << encoded;
    }
}

TEST(Base64Test, LinesHoldSeventyTwoCharactersAndAllEndWithCrLf)
{
    const std::string line(72, 'A');
    EXPECT_EQ(bytes(Base64Encode(fromBytes(std::string(54, '\0')))), line + "\r\n");
    EXPECT_EQ(bytes(Base64Encode(fromBytes(std::string(55, '\0')))), line + "\r\nAA==\r\n");
    EXPECT_EQ(bytes(Base64Encode(fromBytes(std::string(108, '\0')))), line + "\r\n" + line + "\r\n");
}

// Any counted source and target: reads that end mid-group and mid-line
// still give the text the string form gives, and a failed write ends it.
struct ChunkedSource
{
    std::string data;
    std::size_t chunk;
    std::size_t position = 0;
    bool read(void* buffer, uint32_t* count)
    {
        const std::size_t n = std::min<std::size_t>({chunk, *count, data.size() - position});
        std::memcpy(buffer, data.data() + position, n);
        position += n;
        *count = static_cast<uint32_t>(n); // 0 at the end
        return true;
    }
};

struct StringTarget
{
    std::string text;
    int writesLeft = 1000;
    bool write(const void* buffer, uint32_t* count)
    {
        if (writesLeft-- == 0)
            return false;
        text.append(static_cast<const char*>(buffer), *count);
        return true;
    }
};

TEST(Base64Test, StreamsEncodeLikeTheStringWhateverTheirReadSize)
{
    std::string data;
    for (int i = 0; i < 200; ++i)
        data += static_cast<char>(i * 7);
    for (std::size_t chunk : {1u, 2u, 5u, 54u, 55u, 1000u})
    {
        ChunkedSource source{data, chunk};
        StringTarget target;
        ASSERT_TRUE(Base64EncodeStream(source, target)) << chunk;
        EXPECT_EQ(target.text, bytes(Base64Encode(fromBytes(data)))) << "read size " << chunk;
    }
    ChunkedSource empty{std::string(), 3};
    StringTarget nothing;
    EXPECT_TRUE(Base64EncodeStream(empty, nothing));
    EXPECT_EQ(nothing.text, "");

    ChunkedSource source{data, 1};
    StringTarget refusing;
    refusing.writesLeft = 1;
    EXPECT_FALSE(Base64EncodeStream(source, refusing));
}

TEST(Base64Test, DecodingSkipsJunkAndStripsLineBreaksFromTheInput)
{
    EXPECT_EQ(bytes(Base64Decode(uString("T*W F u"))), "Man");
    EXPECT_EQ(bytes(Base64Decode(uString("TQ=="))), "M");
    EXPECT_EQ(bytes(Base64Decode(uString("TWFuT"))), "Man"); // a lone trailing character yields nothing
    EXPECT_EQ(bytes(Base64Decode(uString("=*!"))), "");

    uString in("TW\r\nFu\r\n");
    uString out("old");
    Base64Decode(in, out);
    EXPECT_EQ(bytes(out), "Man");
    EXPECT_STREQ(in.c_str(), "TWFu");
}

TEST(Base64Test, BinaryRoundTripKeepsNulAndHighBytes)
{
    std::string binary;
    for (int i = 0; i < 300; ++i)
        binary.push_back(static_cast<char>(i * 7 + (i % 3 == 0 ? 0 : 1)));
    binary += std::string("\0\xff\0", 3);
    uString encoded = Base64Encode(fromBytes(binary));
    EXPECT_EQ(bytes(encoded).find('\0'), std::string::npos);
    EXPECT_EQ(bytes(Base64Decode(encoded)), binary);
}

} // namespace
