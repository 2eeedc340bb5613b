#include "foundation/MxLookup.h"

#include <gtest/gtest.h>

namespace
{
using Bytes = std::vector<unsigned char>;

void Add16(Bytes& out, int value)
{
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value & 0xff));
}

// One answer record named by a pointer to the question's name (offset 12).
void AddRecord(Bytes& out, int type, const Bytes& data)
{
    Add16(out, 0xC00C);
    Add16(out, type);
    Add16(out, 1);  // IN
    Add16(out, 0);  // TTL
    Add16(out, 60); //
    Add16(out, static_cast<int>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

Bytes Mx(int preference, const Bytes& name)
{
    Bytes data;
    Add16(data, preference);
    data.insert(data.end(), name.begin(), name.end());
    return data;
}

// A reply for "example.test" as a name server writes it, names compressed where it can.
Bytes Reply()
{
    Bytes out;
    for (int field : {0x1234, 0x8180, 1, 5, 0, 0})
        Add16(out, field);
    const Bytes question = {7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 4, 't', 'e', 's', 't', 0};
    out.insert(out.end(), question.begin(), question.end());
    Add16(out, 15);
    Add16(out, 1);
    AddRecord(out, 15, Mx(20, {6, 'b', 'a', 'c', 'k', 'u', 'p', 0xC0, 0x0C}));
    AddRecord(out, 5, {0xC0, 0x0C}); // a CNAME among them
    AddRecord(out, 15, Mx(10, {3, 'm', 'x', '1', 0xC0, 0x0C}));
    AddRecord(out, 15, Mx(10, {3, 'm', 'x', '2', 5, 'o', 't', 'h', 'e', 'r', 4, 't', 'e', 's', 't', 0}));
    AddRecord(out, 15, Mx(30, {0})); // the root: a null MX
    return out;
}
} // namespace

TEST(MxLookupTest, ReadsTheExchangersAndOrdersThemByPreference)
{
    Bytes reply = Reply();
    std::vector<CMxRecord> records;
    ASSERT_TRUE(ParseMxAnswer(reply.data(), static_cast<int>(reply.size()), records));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].host, "backup.example.test");
    EXPECT_EQ(records[0].preference, 20);
    EXPECT_EQ(records[1].host, "mx1.example.test");
    EXPECT_EQ(records[2].host, "mx2.other.test");

    // Equal preferences keep the answer's order; the null MX is no host.
    EXPECT_EQ(OrderMxHosts(records),
              (std::vector<std::string>{"mx1.example.test", "mx2.other.test", "backup.example.test"}));

    // A reply cut short parses to nothing.
    Bytes cut(reply.begin(), reply.end() - 20);
    EXPECT_FALSE(ParseMxAnswer(cut.data(), static_cast<int>(cut.size()), records));
    EXPECT_FALSE(ParseMxAnswer(reply.data(), 0, records));
}
