#include "foundation/uHtmlParser.h"

#include "foundation/uFile.h"
#include "foundation/uHtmlEntities.h"

#include <cstring>
#include <string_view>

namespace
{

bool isLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameByte(unsigned char c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.';
}

// The C library's space test in the C locale.
bool isSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The blanks that separate attributes and that trimming removes.
bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\r' || c == '\t' || c == '\n';
}

bool isQuote(unsigned char c)
{
    return c == '"' || c == '\'';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Where the end of a tag is sought, a quote opens a quoted run only where a
// value or a token begins: at the start, after a blank or after "=". An
// apostrophe inside an unquoted word ("Bob's") does not hide the tag's ">".
bool opensQuote(const unsigned char* input, std::size_t i)
{
    if (!isQuote(input[i]))
        return false;
    return i == 0 || isBlank(input[i - 1]) || input[i - 1] == '=';
}

// Entries of the tag-end table that are no index.
constexpr std::int32_t kNoTagEnd = -1;      // no ">" outside quotes up to the end
constexpr std::int32_t kQuoteLeftOpen = -2; // a quote opens and never closes

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

uString makeString(const unsigned char* bytes, std::size_t count)
{
    return uString(reinterpret_cast<const char*>(bytes), 0, static_cast<int>(count));
}

} // namespace

// ---------------------------------------------------------------------------

uHtmlHandler::~uHtmlHandler() = default;

void uHtmlHandler::onBegin(uHtmlParser&, bool& stop)
{
    stop = false;
}

void uHtmlHandler::onStartTag(const uString&, uHtmlParser&, bool& stop)
{
    stop = false;
}

void uHtmlHandler::onEndTag(const uString&, uHtmlParser&, bool& stop)
{
    stop = false;
}

void uHtmlHandler::onText(const uString&, uHtmlParser&, bool& stop)
{
    stop = false;
}

void uHtmlHandler::onComment(const uString&, uHtmlParser&, bool& stop)
{
    stop = false;
}

void uHtmlHandler::onEnd(uHtmlParser&, bool) {}

// ---------------------------------------------------------------------------

const uString* uHtmlAttributes::getValue(const char* name) const
{
    if (!name)
        return nullptr;
    auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : &it->second;
}

void uHtmlAttributes::set(const std::string& name, const std::string& value)
{
    m_values.insert_or_assign(name, uString(value.c_str(), 0, static_cast<int>(value.size())));
}

// ---------------------------------------------------------------------------

struct uHtmlParser::Markup
{
    enum Kind
    {
        Comment,
        StartTag,
        EndTag,
        Nothing, // "<>": the "<" is consumed without a callback
        Text,    // a broken comment: ordinary text through its "--"
    };
    Kind kind = Nothing;
    std::size_t end = 0; // index after the markup
    std::size_t nameBegin = 0, nameEnd = 0;
    std::size_t textBegin = 0, textEnd = 0; // comment text or attribute text
    bool selfClosing = false;
    bool bare = false; // the ">" follows the name directly
};

uHtmlParser::uHtmlParser() : m_handler(new uHtmlHandler) {}

uHtmlParser::~uHtmlParser()
{
    delete m_handler;
}

void uHtmlParser::setHandler(uHtmlHandler* handler)
{
    if (handler == m_handler)
        return;
    delete m_handler;
    m_handler = handler;
}

bool uHtmlParser::isOptionSet(std::uint32_t flag) const
{
    switch (flag)
    {
    case kBeginEnd:
    case kStartTags:
    case kEndTags:
    case kText:
    case kComments:
    case kReserved:
        return m_handler && (m_options & flag) != 0;
    default:
        return false;
    }
}

unsigned char uHtmlParser::nextByte()
{
    if (!m_input || m_position >= m_length)
        return 0;
    return m_input[m_position++];
}

unsigned char uHtmlParser::previousByte()
{
    if (!m_input || m_position == 0)
        return 0;
    return m_input[--m_position];
}

bool uHtmlParser::matchComment(std::size_t at, Markup& markup) const
{
    if (m_length - at < 5 || std::memcmp(m_input + at, "<!--", 4) != 0)
        return false;
    std::string_view input(reinterpret_cast<const char*>(m_input), m_length);
    std::size_t dashes = input.find("--", at + 4);
    markup.kind = Markup::Comment;
    markup.textBegin = at + 4;
    if (dashes == std::string_view::npos)
    {
        // Unterminated: the comment runs to the end of the input.
        markup.textEnd = m_length;
        markup.end = m_length;
        return true;
    }
    std::size_t close = dashes + 2;
    while (close < m_length && isSpace(m_input[close]))
        ++close;
    if (close >= m_length || m_input[close] != '>')
    {
        markup.kind = Markup::Text;
        markup.end = dashes + 2;
        return true;
    }
    markup.textEnd = dashes;
    markup.end = close + 1;
    return true;
}

bool uHtmlParser::matchTag(std::size_t at, Markup& markup)
{
    // A "<" less than five bytes before the end is text, whatever follows it.
    if (m_length - at < 5)
        return false;
    unsigned char next = m_input[at + 1];
    if (next == '>')
    {
        markup.kind = Markup::Nothing;
        markup.end = at + 1;
        return true;
    }
    bool isEnd = next == '/';
    if (!isEnd && !isLetter(next))
        return false;
    std::size_t name = at + (isEnd ? 2 : 1);
    std::size_t pos = name;
    while (pos < m_length && isNameByte(m_input[pos]))
        ++pos;
    if (pos == name || pos >= m_length)
        return false;
    unsigned char after = m_input[pos];
    markup.nameBegin = name;
    markup.nameEnd = pos;

    if (isEnd)
    {
        if (after != '>')
            return false;
        markup.kind = Markup::EndTag;
        markup.end = pos + 1;
        return true;
    }
    if (!isSpace(after) && after != '>' && after != '/')
        return false;

    const std::size_t close = startTagEnd(pos);
    if (close == std::string_view::npos)
        return false;

    markup.kind = Markup::StartTag;
    markup.end = close + 1;
    markup.selfClosing = m_input[close - 1] == '/';
    markup.bare = close == pos;
    std::size_t text = pos;
    while (text < close && isSpace(m_input[text]))
        ++text;
    markup.textBegin = text;
    markup.textEnd = close + 1;
    return true;
}

// The tag ends at the first ">" outside a quoted value: HTML allows ">"
// inside one (title="a > b"), and ending at the first ">" whatever the quotes
// would cut real attribute values and show their rest as text. When a quote
// is left open up to the end of the input, the first ">" ends the tag
// instead, so that a stray quote in tag soup does not swallow the page.
//
// Sought from every "<" that starts a tag, that search would run to the end
// of the input again and again in tag soup without ">" ("<a x" repeated).
// Where it ends depends only on where it starts, so one sweep from the end
// of the input settles it for every index: a ">" ends there, an opening
// quote continues after its closing one, any other byte continues after
// itself.
std::size_t uHtmlParser::startTagEnd(std::size_t from)
{
    if (m_tagEnds.empty())
    {
        m_tagEnds.resize(m_length + 1);
        m_tagEnds[m_length] = kNoTagEnd;
        // What the table says right after the nearest '"' and "'" further on.
        std::int32_t afterDouble = kQuoteLeftOpen;
        std::int32_t afterSingle = kQuoteLeftOpen;
        for (std::size_t i = m_length; i-- > 0;)
        {
            const unsigned char c = m_input[i];
            std::int32_t end = m_tagEnds[i + 1];
            if (c == '>')
                end = static_cast<std::int32_t>(i);
            else if (opensQuote(m_input, i))
                end = c == '"' ? afterDouble : afterSingle;
            if (c == '"')
                afterDouble = m_tagEnds[i + 1];
            else if (c == '\'')
                afterSingle = m_tagEnds[i + 1];
            m_tagEnds[i] = end;
        }
        m_nextGreater = 0;
    }
    const std::int32_t end = m_tagEnds[from];
    if (end >= 0)
        return static_cast<std::size_t>(end);
    if (end == kNoTagEnd)
        return std::string_view::npos;
    // Tags are matched in input order: the ">" found for an earlier tag
    // still answers as long as it lies at or after this one's name.
    if (m_nextGreater != std::string_view::npos && (m_nextGreater < from || m_input[m_nextGreater] != '>'))
    {
        const void* greater = std::memchr(m_input + from, '>', m_length - from);
        m_nextGreater = greater
                            ? static_cast<std::size_t>(static_cast<const unsigned char*>(greater) - m_input)
                            : std::string_view::npos;
    }
    return m_nextGreater;
}

void uHtmlParser::takeStartTag(const Markup& markup)
{
    const auto* base = reinterpret_cast<const char*>(m_input);
    std::string_view name(base + markup.nameBegin, markup.nameEnd - markup.nameBegin);
    std::string_view raw(base + markup.textBegin, markup.textEnd - markup.textBegin);

    m_attributes.clear();
    // Only blanks and a closing "/" between the name and ">": no attributes.
    m_hasAttributes = raw != ">" && raw != "/>";
    if (markup.bare)
    {
        std::string text(name);
        text += '>';
        m_attributeText.assign(text.c_str());
        return;
    }
    m_attributeText.assign(base, static_cast<int>(markup.textBegin), static_cast<int>(raw.size()));
    if (!m_hasAttributes)
        return;

    std::string_view text = trimBlanks(raw);
    if (!text.empty() && text.back() == '>')
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    text = trimBlanks(text);
    if (text.empty() || !isLetter(static_cast<unsigned char>(text.front())))
        return;

    std::size_t i = 0;
    while (i < text.size())
    {
        while (i < text.size() && isBlank(static_cast<unsigned char>(text[i])))
            ++i;
        if (i >= text.size())
            break;
        // A quote opens wherever it stands and only its own kind closes it;
        // the other kind inside is a plain byte. Were the two kinds tracked
        // apart, the apostrophe in title="Bob's" would stay open and swallow
        // every attribute after it.
        std::size_t start = i;
        char open = 0;
        for (; i < text.size(); ++i)
        {
            const char c = text[i];
            if (open)
                open = c == open ? 0 : open;
            else if (isQuote(static_cast<unsigned char>(c)))
                open = c;
            else if (isBlank(static_cast<unsigned char>(c)))
                break;
        }
        std::string_view token = text.substr(start, i - start);
        std::size_t equals = token.find('=');
        if (equals == std::string_view::npos || equals == 0)
        {
            m_attributes.set(std::string(token), std::string());
            continue;
        }
        std::string_view value = token.substr(equals + 1);
        // At least two bytes: a lone quote is both the first and the last byte.
        if (value.size() >= 2 && isQuote(static_cast<unsigned char>(value.front())) &&
            value.back() == value.front())
            value = trimBlanks(value.substr(1, value.size() - 2));
        m_attributes.set(lowerAscii(token.substr(0, equals)), std::string(value));
    }
}

bool uHtmlParser::flushText(std::string& text)
{
    std::string_view trimmed = trimBlanks(text);
    bool stop = false;
    if (!trimmed.empty() && (m_options & kText))
    {
        uString value(trimmed.data(), 0, static_cast<int>(trimmed.size()));
        m_handler->onText(value, *this, stop);
    }
    text.clear();
    return stop;
}

bool uHtmlParser::dispatch(const Markup& markup)
{
    bool stop = false;
    switch (markup.kind)
    {
    case Markup::Comment:
        if (markup.textEnd > markup.textBegin && (m_options & kComments))
            m_handler->onComment(makeString(m_input + markup.textBegin, markup.textEnd - markup.textBegin),
                                 *this, stop);
        return stop;
    case Markup::StartTag:
    case Markup::EndTag:
    {
        m_tagName = makeString(m_input + markup.nameBegin, markup.nameEnd - markup.nameBegin);
        bool start = markup.kind == Markup::StartTag;
        if (start)
        {
            takeStartTag(markup);
            if (m_options & kStartTags)
            {
                m_handler->onStartTag(m_tagName, *this, stop);
                if (stop)
                    return true;
            }
        }
        if ((!start || markup.selfClosing) && (m_options & kEndTags))
            m_handler->onEndTag(m_tagName, *this, stop);
        return stop;
    }
    case Markup::Nothing:
    case Markup::Text:
        break;
    }
    return false;
}

void uHtmlParser::parseBuffer(const char* bytes, int length)
{
    if (!bytes || length <= 0 || !m_handler)
        return;
    // The scan ends at the first NUL byte.
    const void* nul = std::memchr(bytes, 0, static_cast<std::size_t>(length));
    m_input = reinterpret_cast<const unsigned char*>(bytes);
    m_length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes)
                   : static_cast<std::size_t>(length);
    // The tag-end table describes the bytes of one scan only; one left by a
    // scan that a throwing handler cut short would be read for these.
    m_tagEnds.clear();
    // However the scan ends, a throw included, the caller's bytes are let go.
    struct ScanEnd
    {
        uHtmlParser& parser;
        ~ScanEnd()
        {
            parser.m_input = nullptr;
            parser.m_length = 0;
            parser.m_position = 0;
            std::vector<std::int32_t>().swap(parser.m_tagEnds);
        }
    } scanEnd{*this};

    bool stopped = false;
    m_position = 0;
    if (m_options & kBeginEnd)
        m_handler->onBegin(*this, stopped);

    if (!stopped)
    {
        std::string text;
        std::size_t pos = 0;
        while (pos < m_length && isSpace(m_input[pos]))
            ++pos;
        std::size_t run = pos;
        while (pos < m_length)
        {
            unsigned char c = m_input[pos];
            if (c == '&' && m_decodeReferences)
            {
                std::string decoded;
                std::string_view rest(reinterpret_cast<const char*>(m_input) + pos, m_length - pos);
                if (std::size_t used = html::DecodeReference(rest, decoded))
                {
                    text.append(reinterpret_cast<const char*>(m_input) + run, pos - run);
                    text += decoded;
                    pos += used;
                    run = pos;
                    continue;
                }
            }
            Markup markup;
            if (c != '<' || !(matchComment(pos, markup) || matchTag(pos, markup)))
            {
                ++pos;
                continue;
            }
            if (markup.kind == Markup::Text)
            {
                pos = markup.end;
                continue;
            }
            text.append(reinterpret_cast<const char*>(m_input) + run, pos - run);
            pos = run = m_position = markup.end;
            if (markup.kind == Markup::Nothing)
                continue;
            if (flushText(text) || dispatch(markup))
            {
                stopped = true;
                break;
            }
        }
        if (!stopped)
        {
            text.append(reinterpret_cast<const char*>(m_input) + run, pos - run);
            m_position = pos;
            stopped = flushText(text);
        }
    }
    m_position = m_length;

    if (m_options & kBeginEnd)
        m_handler->onEnd(*this, stopped);
}

bool uHtmlParser::parseFile(uFile& file)
{
    // Read into memory rather than map: a page truncated during the scan
    // cannot fault the process.
    uString bytes;
    if (file.open() && file.readAll(bytes))
        parseBuffer(bytes.c_str(), bytes.getLength());
    return file.close();
}
