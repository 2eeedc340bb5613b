#include "foundation/uFile.h"
#include "foundation/uHtmlEntities.h"
#include "foundation/uHtmlParser.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

// Turns callbacks into strings: "T:text", "S:name", "E:name", "C:comment",
// "B" and "Z:stopped". Start tags also record their attributes as
// " name=value" in key order.
class RecordingHandler : public uHtmlHandler
{
public:
    explicit RecordingHandler(std::vector<std::string>& events, const char* stopAt = nullptr)
        : m_events(events), m_stopAt(stopAt)
    {
    }

    void onBegin(uHtmlParser&, bool& stop) override { record("B", stop); }
    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override
    {
        std::string event = std::string("S:") + name.c_str();
        for (const char* key : {"href", "title", "rel", "src", "a", "checked", "CHECKED", "accesskey", "x"})
            if (const uString* value = parser.getAttributes().getValue(key))
                event += std::string(" ") + key + "=" + value->c_str();
        record(event, stop);
    }
    void onEndTag(const uString& name, uHtmlParser&, bool& stop) override
    {
        record(std::string("E:") + name.c_str(), stop);
    }
    void onText(const uString& text, uHtmlParser&, bool& stop) override
    {
        record(std::string("T:") + text.c_str(), stop);
    }
    void onComment(const uString& text, uHtmlParser&, bool& stop) override
    {
        record(std::string("C:") + text.c_str(), stop);
    }
    void onEnd(uHtmlParser&, bool stopped) override { m_events.push_back(stopped ? "Z:stopped" : "Z"); }

private:
    void record(const std::string& event, bool& stop)
    {
        // The parser clears the flag before every callback.
        EXPECT_FALSE(stop) << event;
        m_events.push_back(event);
        stop = m_stopAt && event == m_stopAt;
    }

    std::vector<std::string>& m_events;
    const char* m_stopAt;
};

std::string scan(const std::string& input, const char* stopAt = nullptr)
{
    std::vector<std::string> events;
    uHtmlParser parser;
    parser.setHandler(new RecordingHandler(events, stopAt));
    parser.parseBuffer(input.data(), static_cast<int>(input.size()));
    std::string joined;
    for (const std::string& event : events)
        joined += (joined.empty() ? "" : "|") + event;
    return joined;
}

TEST(HtmlParserTest, ScansTextTagsAndComments)
{
    const std::pair<std::string, std::string> cases[] = {
        {"ab<p>cd</p>ef", "B|T:ab|S:p|T:cd|E:p|T:ef|Z"},
        {"  x  <b>  ", "B|T:x|S:b|Z"},
        {"<a href=\"u\" TITLE='T'>", "B|S:a href=u title=T|Z"},
        {"<input checked>", "B|S:input checked=|Z"},
        {"<input CHECKED>", "B|S:input CHECKED=|Z"},
        {"<!-- c -->", "B|C: c |Z"},
        {"<!---->after", "B|T:after|Z"},
        {"x<!-- a -- b -->y", "B|T:x<!-- a -- b -->y|Z"},
        {"<!-- open", "B|C: open|Z"},
        {"<br/>", "B|S:br|E:br|Z"},
        {"<img src=x/>", "B|S:img src=x|E:img|Z"},
        {"a</b >c", "B|T:a</b >c|Z"},
        {"a< b>c", "B|T:a< b>c|Z"},
        {"a &amp; b", "B|T:a &amp; b|Z"},
        {"<!DOCTYPE html><?xml x?>t", "B|T:<!DOCTYPE html><?xml x?>t|Z"},
        {"x<>y</i>z", "B|T:x>y|E:i|T:z|Z"},
        // A "<" less than five bytes before the end is text, even a whole tag.
        {"ab</b>", "B|T:ab</b>|Z"},
        {"ab<b>", "B|T:ab<b>|Z"},
        {"x<>y</i>", "B|T:x>y</i>|Z"},
        {"ab</em>", "B|T:ab|E:em|Z"},
        {"ab<", "B|T:ab<|Z"},
        {"ab</", "B|T:ab</|Z"},
        {"ab<b", "B|T:ab<b|Z"},
        {"<a x = \"v\">", "B|S:a x=|Z"},
        // Blanks inside the quotes are trimmed; duplicates keep the last value.
        {"<a href=\" p \" href=q>", "B|S:a href=q|Z"},
        {"<a title=\" p \">", "B|S:a title=p|Z"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(scan(input), expected) << "input: " << input;
}

TEST(HtmlParserTest, EachTagGetsItsOwnAttributes)
{
    // A first attribute that begins with the tag name must still be parsed,
    // never leaving the previous tag's values in place.
    EXPECT_EQ(scan("<link href=z><a accesskey=x href=y>"), "B|S:link href=z|S:a href=y accesskey=x|Z");
    EXPECT_EQ(scan("<a href=z><i>t</i>\n"), "B|S:a href=z|S:i|T:t|E:i|Z");
}

TEST(HtmlParserTest, QuotesProtectTheirOwnKindAndTheTagEnd)
{
    EXPECT_EQ(scan("<link rel=\"alternate\" title=\"Bob's > news\" href=\"/f.xml\">"),
              "B|S:link href=/f.xml title=Bob's > news rel=alternate|Z");
    EXPECT_EQ(scan("<a title='say \"hi\"' href=y>"), "B|S:a href=y title=say \"hi\"|Z");
    // An apostrophe inside an unquoted word does not hide the tag's end, but
    // within the tag it opens a quote like any other: the rest is one value.
    EXPECT_EQ(scan("<a title=Bob's href=y>t"), "B|S:a title=Bob's href=y|T:t|Z");
    EXPECT_EQ(scan("<a title=x\"y z\"w href=h>"), "B|S:a href=h title=x\"y z\"w|Z");
    // The other kind of quote inside a quoted value is a plain byte.
    EXPECT_EQ(scan("<a title=\"Bob's\" href=y rel='a\"b' x=1>"), "B|S:a href=y title=Bob's rel=a\"b x=1|Z");
    // A quote left open to the end falls back to the first ">".
    EXPECT_EQ(scan("<a href=\"y>text here"), "B|S:a href=\"y|T:text here|Z");
    // A lone quote as the value is kept as it is.
    EXPECT_EQ(scan("<a a=\" >x"), "B|S:a a=\"|T:x|Z");
}

// Where a start tag ends when its ">" lies far ahead, beyond other tags'
// starts and quoted values, or when a quote is left open to the end.
TEST(HtmlParserTest, TagEndsBeyondOtherTagsAndOpenQuotes)
{
    const std::pair<std::string, std::string> cases[] = {
        // The first tag takes everything up to its ">", another tag's start included.
        {"<a x<b y>z", "B|S:a|T:z|Z"},
        {"<a href=\"a>b\" <i>t</i>", "B|S:a href=a>b|T:t</i>|Z"},
        {"<a x <b y <c z", "B|T:<a x <b y <c z|Z"},
        // A quote left open to the end: each tag before it ends at its own first ">".
        {"<a x=\">\" <b x=\">\" '", "B|S:a x=\"|T:\"|S:b x=\"|T:\" '|Z"},
        {"<p x='a' y=\"b>c\" 'd>e", "B|S:p x=a|T:c\" 'd>e|Z"},
        // A tag that starts inside another's quoted value reads the quotes the other way.
        {"<a x='1' y=' <b z='2'>w</b> '>v", "B|S:a x=1|T:w|E:b|T:'>v|Z"},
        {"<a x=\"'\" y='>' z=\">'\" <b w='>t</b>", "B|S:a x='|T:' z=\">'\"|S:b|T:t</b>|Z"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(scan(input), expected) << "input: " << input;
}

// Tag soup where every "<" starts a tag whose end is far off or missing: a
// search from each "<" to the end would take minutes at these sizes.
TEST(HtmlParserTest, TagsWithoutAnEndAreScannedOnce)
{
    std::string open;
    for (int i = 0; i < 1000000; ++i)
        open += "<a x";
    EXPECT_EQ(scan(open), "B|T:" + open + "|Z");

    // A quote left open at the very end: each tag looks that far, then ends at its first ">".
    std::string quoted;
    std::string expected = "B";
    for (int i = 0; i < 400000; ++i)
    {
        quoted += "<a x=\">\" ";
        expected += "|S:a x=\"|T:\"";
    }
    quoted += "'";
    expected += " '|Z";
    EXPECT_EQ(scan(quoted), expected);
}

TEST(HtmlParserTest, AttributeTextAndHasAttributes)
{
    struct Capture : uHtmlHandler
    {
        std::vector<std::string> texts;
        std::vector<bool> has;
        void onStartTag(const uString&, uHtmlParser& parser, bool&) override
        {
            texts.push_back(parser.getAttributeText().c_str());
            has.push_back(parser.hasAttributes());
        }
    };
    auto* capture = new Capture;
    uHtmlParser parser;
    parser.setHandler(capture);
    std::string page = "<body><a alt=\"x\"><br /><br/><hr ><meta http-equiv=refresh  >";
    parser.parseBuffer(page.data(), static_cast<int>(page.size()));
    // Only a ">" right after the name gives the name and ">".
    EXPECT_EQ(capture->texts,
              (std::vector<std::string>{"body>", "alt=\"x\">", "/>", "/>", ">", "http-equiv=refresh  >"}));
    EXPECT_EQ(capture->has, (std::vector<bool>{false, true, false, false, false, true}));
}

TEST(HtmlParserTest, HandlersStepThroughTheInputWithoutSteeringTheScan)
{
    struct Stepper : uHtmlHandler
    {
        std::string seen;
        void onStartTag(const uString& name, uHtmlParser& parser, bool&) override
        {
            if (!name.equals("b"))
                return;
            seen += static_cast<char>(parser.nextByte()); // behind "<b>"
            seen += static_cast<char>(parser.nextByte());
            parser.previousByte();
            parser.previousByte();
            seen += static_cast<char>(parser.previousByte()); // the ">"
        }
        void onText(const uString& text, uHtmlParser&, bool&) override
        {
            seen += "[" + std::string(text.c_str()) + "]";
        }
        void onEnd(uHtmlParser& parser, bool) override
        {
            seen += parser.nextByte() == 0 ? "|end" : "|more";
            seen += static_cast<char>(parser.previousByte());
        }
    };
    auto* stepper = new Stepper;
    uHtmlParser parser;
    parser.setHandler(stepper);
    const std::string page = "a<b>xyz</b>q";
    parser.parseBuffer(page.data(), static_cast<int>(page.size()));
    EXPECT_EQ(stepper->seen, "[a]xy>[xyz][q]|endq") << "the scan goes on where it was";
    EXPECT_EQ(parser.nextByte(), 0) << "no input outside a scan";
    EXPECT_EQ(parser.previousByte(), 0);
}

TEST(HtmlParserTest, StopEndsTheScanAndIsReported)
{
    EXPECT_EQ(scan("a<p>b<br/>c", "S:br"), "B|T:a|S:p|T:b|S:br|Z:stopped");
    EXPECT_EQ(scan("a<p>b", "B"), "B|Z:stopped");
    EXPECT_EQ(scan("tail", "T:tail"), "B|T:tail|Z:stopped");
}

// A handler may throw out of a scan. The next scan through the same parser,
// of a shorter page, must see its own tags and not what the first page left.
TEST(HtmlParserTest, AScanAfterAHandlerThrewReadsOnlyItsOwnPage)
{
    struct Throwing : RecordingHandler
    {
        using RecordingHandler::RecordingHandler;
        void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override
        {
            if (name.equals("a"))
                throw std::runtime_error("handler failed");
            RecordingHandler::onStartTag(name, parser, stop);
        }
    };
    std::vector<std::string> events;
    uHtmlParser parser;
    parser.setHandler(new Throwing(events));
    // The first tag's ">" lies far beyond the end of the second page.
    const std::string first = "<a href=\"u\"" + std::string(20000, ' ') + "><p>long</p>";
    EXPECT_THROW(parser.parseBuffer(first.data(), static_cast<int>(first.size())), std::runtime_error);
    EXPECT_EQ(parser.nextByte(), 0) << "the first page is let go";

    events.clear();
    const std::string second = "<b title=\"y\">bold</b> after";
    parser.parseBuffer(second.data(), static_cast<int>(second.size()));
    std::string joined;
    for (const std::string& event : events)
        joined += (joined.empty() ? "" : "|") + event;
    EXPECT_EQ(joined, "B|S:b title=y|T:bold|E:b|T:after|Z");
}

TEST(HtmlParserTest, InputLimits)
{
    EXPECT_EQ(scan(std::string("ab<p>cd\0<i>d</i>", 16)), "B|T:ab|S:p|T:cd|Z");
    EXPECT_EQ(scan(""), "");
    std::vector<std::string> events;
    uHtmlParser parser;
    parser.setHandler(new RecordingHandler(events));
    parser.parseBuffer(nullptr, 10);
    EXPECT_TRUE(events.empty());
    // Bytes past the NUL may be anything, even unterminated markup.
    EXPECT_EQ(scan(std::string("x\0<!--", 6)), "B|T:x|Z");
}

TEST(HtmlParserTest, ParsesFiles)
{
    testsupport::TempDir dir;
    uFile page(dir.write("page.html", "<title>Hi</title>").c_str(), uFile::kModeRead);
    std::vector<std::string> events;
    uHtmlParser parser;
    parser.setHandler(new RecordingHandler(events));
    EXPECT_TRUE(parser.parseFile(page));
    EXPECT_EQ(events, (std::vector<std::string>{"B", "S:title", "T:Hi", "E:title", "Z"}));

    events.clear();
    uFile missing(dir.file("missing.html").c_str(), uFile::kModeRead);
    EXPECT_FALSE(parser.parseFile(missing));
    EXPECT_TRUE(events.empty());
}

TEST(HtmlEntitiesTest, DecodesNamedAndNumericReferences)
{
    const std::pair<const char*, const char*> cases[] = {
        {"&AMP;", "&"},
        {"&Eacute;", "\xC3\x89"},
        {"&eACUTE;", "\xC3\xA9"},
        {"&ETH;", "\xC3\x90"},
        {"&eth;", "\xC3\xB0"},
        {"&#65;", "A"},
        {"&#x20AC;", "\xE2\x82\xAC"},
        {"&#X1F600;", "\xF0\x9F\x98\x80"},
    };
    for (const auto& [reference, expected] : cases)
    {
        std::string out;
        EXPECT_EQ(html::DecodeReference(reference, out), std::strlen(reference)) << reference;
        EXPECT_EQ(out, expected) << reference;
    }
    for (const char* bad :
         {"&bogus;", "&#0;", "&#xD800;", "&#x110000;", "&#12a;", "&#;x", "&amp", "&x;", "&#q1;"})
    {
        std::string out;
        EXPECT_EQ(html::DecodeReference(bad, out), 0u) << bad;
        EXPECT_TRUE(out.empty()) << bad;
    }
}

} // namespace
