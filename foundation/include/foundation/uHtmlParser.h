#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class uFile;
class uHtmlParser;

// Callback base for uHtmlParser. Every callback gets a stop flag that the
// parser has cleared; setting it ends the scan at once.
class uHtmlHandler
{
public:
    virtual ~uHtmlHandler();
    virtual void onBegin(uHtmlParser& parser, bool& stop);
    // The tag name as written; the tag's attributes are in parser.getAttributes().
    virtual void onStartTag(const uString& name, uHtmlParser& parser, bool& stop);
    virtual void onEndTag(const uString& name, uHtmlParser& parser, bool& stop);
    // Text between markup, trimmed of CR, LF, space and tab; never empty.
    virtual void onText(const uString& text, uHtmlParser& parser, bool& stop);
    // Comment text, untrimmed; never empty.
    virtual void onComment(const uString& text, uHtmlParser& parser, bool& stop);
    virtual void onEnd(uHtmlParser& parser, bool stopped);
};

// Attributes of one start tag. Valued names are lower-cased; bare names keep
// their case; keys compare byte for byte.
class uHtmlAttributes
{
public:
    // The value, or null when the tag has no attribute of that name.
    const uString* getValue(const char* name) const;
    bool isEmpty() const { return m_values.empty(); }
    void clear() { m_values.clear(); }
    // A later attribute of the same name replaces the earlier one.
    void set(const std::string& name, const std::string& value);

private:
    std::map<std::string, uString> m_values;
};

// A one-pass event scanner for HTML and other tag soup. It builds no tree;
// malformed markup is passed on as text.
class uHtmlParser
{
public:
    // Option flags; all are set after construction.
    static constexpr std::uint32_t kBeginEnd = 1;
    static constexpr std::uint32_t kStartTags = 2;
    static constexpr std::uint32_t kEndTags = 4;
    static constexpr std::uint32_t kText = 8;
    static constexpr std::uint32_t kComments = 16;
    static constexpr std::uint32_t kReserved = 32;

    uHtmlParser();
    virtual ~uHtmlParser();
    uHtmlParser(const uHtmlParser&) = delete;
    uHtmlParser& operator=(const uHtmlParser&) = delete;

    // Takes ownership of the handler and deletes the previous one.
    void setHandler(uHtmlHandler* handler);

    // Reads the whole file and scans it; returns the result of closing the file.
    virtual bool parseFile(uFile& file);
    // Scans the caller's bytes (not copied, must stay valid during the call),
    // up to the first NUL byte. Null or empty input gives no callback at all.
    virtual void parseBuffer(const char* bytes, int length);

    // False for anything but a single known flag, and without a handler.
    bool isOptionSet(std::uint32_t flag) const;

    // Describe the last start tag; valid during the callbacks of a scan.
    const uHtmlAttributes& getAttributes() const { return m_attributes; }
    const uString& getTagName() const { return m_tagName; }
    // The raw text from the first non-blank byte after the name through the
    // closing ">"; for a tag without attributes the name followed by ">".
    const uString& getAttributeText() const { return m_attributeText; }
    // True when anything but blanks and a closing "/" stood between the name and ">".
    bool hasAttributes() const { return m_hasAttributes; }

    // A cursor over the input for handlers, put behind what the scan has
    // consumed before every callback. nextByte returns the byte at the cursor
    // and advances it; previousByte moves it back one and returns the byte
    // there. Both give 0 outside a scan and at either end. Moving it does not
    // steer the scan.
    unsigned char nextByte();
    unsigned char previousByte();

private:
    struct Markup;

    bool matchComment(std::size_t at, Markup& markup) const;
    bool matchTag(std::size_t at, Markup& markup);
    std::size_t startTagEnd(std::size_t from);
    void takeStartTag(const Markup& markup);
    bool flushText(std::string& text);
    bool dispatch(const Markup& markup);

    uHtmlAttributes m_attributes;
    uString m_tagName;
    uString m_attributeText;
    bool m_hasAttributes = false;
    uHtmlHandler* m_handler;
    std::uint32_t m_options = 0x3F;
    // Character references in text are decoded only when this is set; nothing sets it.
    bool m_decodeReferences = false;
    const unsigned char* m_input = nullptr;
    std::size_t m_length = 0;
    std::size_t m_position = 0;
    // For each index of the input, where a start tag whose attributes begin
    // there ends (or why it does not); made for the first start tag of a
    // scan, so that no tag searches the rest of the input again.
    std::vector<std::int32_t> m_tagEnds;
    std::size_t m_nextGreater = 0; // the first ">" at or after the last start tag's name, once sought
};
