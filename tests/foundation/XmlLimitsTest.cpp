// The loader's limits against the ways round them: entities declared through
// parameter entities or made from character references, attribute defaults,
// nesting inside entities, wide encodings.
#include "foundation/uXml.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

using xmllimits::Refusal;

std::string Repeat(const std::string& text, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += text;
    return out;
}

Refusal Load(const std::string& text)
{
    uXmlDocument document;
    testing::internal::CaptureStderr();
    document.loadXml(text.c_str(), true, false, false, true);
    testing::internal::GetCapturedStderr();
    if (document.getRefusal() != Refusal::kNone)
    {
        EXPECT_EQ(document.getDocument(), nullptr) << "a refused load builds nothing";
    }
    return document.getRefusal();
}

const std::string kKilobyte(1024, 'x');

TEST(XmlLimitsTest, EntityExpansionIsCountedInBytesWhateverTheRoute)
{
    // 1,000 uses of 1 KB fit; 1,100 do not.
    const std::string one = "<!DOCTYPE r [<!ENTITY k \"" + kKilobyte + "\">]>";
    EXPECT_EQ(Load(one + "<r>" + Repeat("&k;", 1000) + "</r>"), Refusal::kNone);
    EXPECT_EQ(Load(one + "<r>" + Repeat("&k;", 1100) + "</r>"), Refusal::kEntityExpansion);
    // Nested entities multiply: 10 x 10 x 10 x 2 KB, used once.
    EXPECT_EQ(Load("<!DOCTYPE r [<!ENTITY a \"" + kKilobyte + kKilobyte + "\"><!ENTITY b \"" +
                   Repeat("&a;", 10) + "\"><!ENTITY c \"" + Repeat("&b;", 10) + "\"><!ENTITY d \"" +
                   Repeat("&c;", 10) + "\">]><r>&d;</r>"),
              Refusal::kEntityExpansion);
    // In attribute values, and through an attribute default given to every element.
    EXPECT_EQ(Load(one + "<r>" + Repeat("<e v=\"&k;&k;\"/>", 600) + "</r>"), Refusal::kEntityExpansion);
    EXPECT_EQ(Load("<!DOCTYPE r [<!ENTITY k \"" + kKilobyte + "\"><!ATTLIST e v CDATA \"&k;\">]><r>" +
                   Repeat("<e/>", 1100) + "</r>"),
              Refusal::kEntityExpansion);
    // Declared inside a parameter entity, or spelt with character references.
    EXPECT_EQ(Load("<!DOCTYPE r [<!ENTITY % p \"<!ENTITY k '" + kKilobyte + "'>\"> %p;]><r>" +
                   Repeat("&k;", 1100) + "</r>"),
              Refusal::kEntityExpansion);
    EXPECT_EQ(Load("<!DOCTYPE r [<!ENTITY k \"" + kKilobyte + "\"><!ENTITY m \"" + Repeat("&#38;k;", 1100) +
                   "\">]><r>&m;</r>"),
              Refusal::kEntityExpansion);
    // An entity that contains itself.
    EXPECT_EQ(Load("<!DOCTYPE r [<!ENTITY a \"x&a;\">]><r>&a;</r>"), Refusal::kEntityExpansion);
}

TEST(XmlLimitsTest, NestingIsCountedInTheDocumentAndInsideEntities)
{
    EXPECT_EQ(Load(Repeat("<a>", 1000) + Repeat("</a>", 1000)), Refusal::kNone);
    EXPECT_EQ(Load(Repeat("<a>", 1001) + Repeat("</a>", 1001)), Refusal::kTooDeep);
    EXPECT_EQ(Load(Repeat("<a/>", 5000)), Refusal::kNone) << "siblings and empty elements do not nest";
    EXPECT_EQ(Load("<!DOCTYPE a [<!ENTITY d \"" + Repeat("<a>", 600) + Repeat("</a>", 600) + "\">]>" +
                   Repeat("<a>", 600) + "&d;" + Repeat("</a>", 600)),
              Refusal::kTooDeep);
}

TEST(XmlLimitsTest, WideEncodingsAreScannedToo)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : Repeat("<a>", 1001) + Repeat("</a>", 1001))
        utf16 += std::string{c, '\0'};
    testsupport::TempDir dir;
    uXmlDocument document;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(document.load(dir.write("deep16.xml", utf16).c_str(), true, false, false, true));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(document.getRefusal(), Refusal::kTooDeep);
}

} // namespace
