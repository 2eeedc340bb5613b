#include "ado/JetSql.h"

#include "Ascii.h"
#include "HexDigits.h"
#include "JetCounter.h"
#include "SqlTokenizer.h"
#include "Utf8.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace ado
{

using detail::Token;
using detail::TokenKind;

namespace
{

// The value of a "..." string: quotes removed, doubled quotes made single.
std::string unquote(std::string_view quoted)
{
    const char quote = quoted.front();
    std::string value;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i)
    {
        value.push_back(quoted[i]);
        if (quoted[i] == quote)
            ++i;
    }
    return value;
}

bool isTextOperand(const Token& token)
{
    return token.kind == TokenKind::SingleString || token.kind == TokenKind::DoubleString ||
           token.kind == TokenKind::HexText;
}

// Keywords after which "+" is a sign, not an operator between two operands.
bool isOperandKeyword(const Token& token)
{
    static constexpr std::array<std::string_view, 22> kKeywords = {
        "select", "where", "and", "or", "not",     "on",   "when",   "then",   "else", "set",      "values",
        "by",     "like",  "is",  "in", "between", "case", "having", "return", "as",   "distinct", "all"};
    for (const std::string_view keyword : kKeywords)
    {
        if (token.isKeyword(keyword))
            return true;
    }
    return false;
}

// Can this token end the left operand of a binary "+"?
bool endsOperand(const Token& token)
{
    switch (token.kind)
    {
    case TokenKind::Word:
        return !isOperandKeyword(token);
    case TokenKind::Bracketed:
    case TokenKind::Backquoted:
    case TokenKind::SingleString:
    case TokenKind::DoubleString:
    case TokenKind::HexText:
    case TokenKind::Number:
        return true;
    case TokenKind::Operator:
        return token.isOperator(')');
    default:
        return false;
    }
}

class Translator
{
public:
    // The token lists are the calling thread's, kept between statements: a
    // store translates thousands of statements, each allocation counts.
    Translator(std::string_view statement, std::vector<Token>& tokens, std::vector<std::size_t>& significant)
        : m_statement(statement), m_tokens(tokens), m_significant(significant)
    {
    }

    JetTranslation run()
    {
        JetTranslation result;
        if (!detail::tokenizeSql(m_statement, m_tokens, result.error))
            return result;
        detail::significantTokens(m_tokens, m_significant);
        detail::TokenOutput output(m_tokens);
        m_output = &output;

        if (!checkSingleStatement(result.error) || !bindLiterals(result) ||
            !detail::numberCounterColumns(m_tokens, m_significant, output, result.error))
            return result;
        dropDeleteStar();
        dropSetQualifiers();
        concatenateText();
        result.sql = output.join();
        return result;
    }

private:
    const Token& sig(std::size_t n) const { return m_tokens[m_significant[n]]; }
    bool sigIs(std::size_t n, char op) const { return n < m_significant.size() && sig(n).isOperator(op); }
    bool sigKeyword(std::size_t n, std::string_view word) const
    {
        return n < m_significant.size() && sig(n).isKeyword(word);
    }
    // Removes significant tokens [first, last] and the blanks between them.
    void removeSignificant(std::size_t first, std::size_t last)
    {
        for (std::size_t t = m_significant[first]; t <= m_significant[last]; ++t)
            m_output->remove(t);
    }

    bool checkSingleStatement(std::string& error)
    {
        bool ended = false;
        for (std::size_t n = 0; n < m_significant.size(); ++n)
        {
            const Token& token = sig(n);
            if (token.kind == TokenKind::Semicolon)
            {
                ended = true;
            }
            else if (ended)
            {
                error = "Characters found after end of SQL statement.";
                return false;
            }
            else if (token.kind == TokenKind::Parameter)
            {
                error = "Parameter markers are not accepted in statement text: " + std::string(token.text);
                return false;
            }
        }
        return true;
    }

    bool bindLiterals(JetTranslation& result)
    {
        const bool manipulatesRows =
            !m_significant.empty() && (sig(0).isKeyword("select") || sig(0).isKeyword("insert") ||
                                       sig(0).isKeyword("update") || sig(0).isKeyword("delete"));
        // ORDER BY 2 and GROUP BY 2 name columns, not values: no number of such
        // a clause (at the depth it opened) is bound.
        int depth = 0;
        int ordinalsDepth = -1;
        for (std::size_t n = 0; n < m_significant.size(); ++n)
        {
            const std::size_t t = m_significant[n];
            const Token& token = m_tokens[t];
            std::string value;
            ParameterKind kind = ParameterKind::Text;
            if (token.kind == TokenKind::HexText)
            {
                if (!decodeUtf16Hex(token.text.substr(2), value))
                {
                    result.error = "Malformed text literal " + std::string(token.text.substr(0, 16)) +
                                   (token.text.size() > 16 ? "..." : "") +
                                   ": the hex digits are not whole UTF-16 units.";
                    return false;
                }
            }
            else if (token.kind == TokenKind::DoubleString ||
                     (token.kind == TokenKind::SingleString && manipulatesRows))
            {
                value = unquote(token.text);
            }
            else if (token.kind == TokenKind::Number && manipulatesRows && ordinalsDepth < 0 && n > 0 &&
                     takesValue(sig(n - 1)) && readNumber(token.text, kind))
            {
                value = token.text;
            }
            else
            {
                if (token.isOperator('('))
                    ++depth;
                else if (token.isOperator(')') && --depth < ordinalsDepth)
                    ordinalsDepth = -1;
                else if ((token.isKeyword("order") || token.isKeyword("group")) && sigKeyword(n + 1, "by"))
                    ordinalsDepth = depth;
                else if (depth == ordinalsDepth && isClauseKeyword(token))
                    ordinalsDepth = -1;
                continue;
            }
            result.parameters.push_back(std::move(value));
            result.kinds.push_back(kind);
            m_output->replace(t, "?" + std::to_string(result.parameters.size()));
        }
        return true;
    }

    // Tokens after which a number is a value that may vary from one run of a
    // statement shape to the next (an assignment, a comparison, a list).
    static bool takesValue(const Token& previous)
    {
        return previous.isOperator('=') || previous.isOperator('<') || previous.isOperator('>') ||
               previous.isOperator(',') || previous.isOperator('(');
    }

    static bool isClauseKeyword(const Token& token)
    {
        return token.isKeyword("limit") || token.isKeyword("offset") || token.isKeyword("having") ||
               token.isKeyword("union") || token.isKeyword("except") || token.isKeyword("intersect") ||
               token.isKeyword("window");
    }

    // A whole decimal number: an integer that fits 64 bits, or a real.
    static bool readNumber(std::string_view text, ParameterKind& kind)
    {
        std::int64_t integer = 0;
        const char* end = text.data() + text.size();
        auto parsed = std::from_chars(text.data(), end, integer);
        if (parsed.ec == std::errc() && parsed.ptr == end)
        {
            kind = ParameterKind::Integer;
            return true;
        }
        double real = 0;
        auto parsedReal = std::from_chars(text.data(), end, real);
        if (parsedReal.ec == std::errc() && parsedReal.ptr == end)
        {
            kind = ParameterKind::Real;
            return true;
        }
        return false; // too large, or letters glued on: SQLite reads (or refuses) it as written
    }

    // DELETE * FROM t and DELETE t.* FROM t: SQLite knows neither star.
    void dropDeleteStar()
    {
        for (std::size_t n = 0; n < m_significant.size(); ++n)
        {
            if (!sig(n).isKeyword("delete"))
                continue;
            if (sigIs(n + 1, '*') && sigKeyword(n + 2, "from"))
                removeSignificant(n + 1, n + 1);
            else if (n + 3 < m_significant.size() && sig(n + 1).isName() && sigIs(n + 2, '.') &&
                     sigIs(n + 3, '*') && sigKeyword(n + 4, "from"))
                removeSignificant(n + 1, n + 3);
        }
    }

    // UPDATE t SET t.col = ...: SQLite refuses a qualified assignment target.
    void dropSetQualifiers()
    {
        if (m_significant.empty() || !sig(0).isKeyword("update"))
            return;
        std::size_t n = 1;
        int depth = 0;
        for (; n < m_significant.size(); ++n)
        {
            if (sig(n).isOperator('('))
                ++depth;
            else if (sig(n).isOperator(')'))
                --depth;
            else if (depth == 0 && sig(n).isKeyword("set"))
                break;
        }
        bool atTarget = true;
        depth = 0;
        for (++n; n < m_significant.size(); ++n)
        {
            const Token& token = sig(n);
            if (depth == 0)
            {
                if (token.isKeyword("where") || token.isKeyword("from") || token.isKeyword("returning") ||
                    token.isKeyword("order") || token.isKeyword("limit") ||
                    token.kind == TokenKind::Semicolon)
                    return;
                if (token.isOperator(','))
                {
                    atTarget = true;
                    continue;
                }
                if (atTarget && token.isName() && sigIs(n + 1, '.') && n + 2 < m_significant.size() &&
                    sig(n + 2).isName() && sigIs(n + 3, '='))
                    removeSignificant(n, n + 1);
            }
            atTarget = false;
            if (token.isOperator('('))
                ++depth;
            else if (token.isOperator(')'))
                --depth;
        }
    }

    // Jet's "+" joins text; SQLite's adds numbers ('%' + 'abc' is 0).
    void concatenateText()
    {
        for (std::size_t n = 1; n + 1 < m_significant.size(); ++n)
        {
            if (!sig(n).isOperator('+'))
                continue;
            const Token& left = sig(n - 1);
            const Token& right = sig(n + 1);
            if (endsOperand(left) && (isTextOperand(left) || isTextOperand(right)))
                m_output->replace(m_significant[n], "||");
        }
    }

    std::string_view m_statement;
    std::vector<Token>& m_tokens;
    std::vector<std::size_t>& m_significant;
    detail::TokenOutput* m_output = nullptr;
};

} // namespace

JetTranslation translateJetSql(std::string_view statement)
{
    thread_local std::vector<Token> tokens;
    thread_local std::vector<std::size_t> significant;
    return Translator(statement, tokens, significant).run();
}

namespace
{
// The UTF-16 unit written as four hex digits, low byte first; -1 when a digit is not hex.
long decodeUnit(const char* digits)
{
    const int d0 = detail::kHexValues[static_cast<unsigned char>(digits[0])];
    const int d1 = detail::kHexValues[static_cast<unsigned char>(digits[1])];
    const int d2 = detail::kHexValues[static_cast<unsigned char>(digits[2])];
    const int d3 = detail::kHexValues[static_cast<unsigned char>(digits[3])];
    if ((d0 | d1 | d2 | d3) < 0)
        return -1;
    return static_cast<long>((d0 << 4 | d1) | (d2 << 4 | d3) << 8);
}
} // namespace

namespace
{
#if defined(__SSE2__)
// Pairs of nibbles (high first) as 16-bit lanes holding the bytes they spell.
__m128i nibblePairs(__m128i nibbles)
{
    const __m128i high = _mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x00FF)), 4);
    return _mm_or_si128(high, _mm_srli_epi16(nibbles, 8));
}

// Eight units (32 digits) that are all ASCII, written as eight bytes; false
// (nothing written) for anything else, which the caller decodes unit by unit.
bool decodeAsciiBlock(const char* digits, char* out)
{
    unsigned firstDigits = 0;
    unsigned secondDigits = 0;
    const __m128i first =
        detail::hexNibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(digits)), firstDigits);
    const __m128i second =
        detail::hexNibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(digits + 16)), secondDigits);
    if ((firstDigits & secondDigits) != 0xFFFF)
        return false;
    // The little-endian bytes of the eight units, so each 16-bit lane is a unit.
    const __m128i units = _mm_packus_epi16(nibblePairs(first), nibblePairs(second));
    const __m128i nonAscii = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(nonAscii, _mm_setzero_si128())) != 0xFFFF)
        return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
    return true;
}
#endif
} // namespace

bool decodeUtf16Hex(std::string_view hexDigits, std::string& utf8)
{
    utf8.clear();
    if (hexDigits.size() % 4 != 0)
        return false;
    const std::size_t count = hexDigits.size() / 4;
    // Written through a pointer into room for the longest outcome: a unit
    // makes at most three bytes (a surrogate pair makes four from two).
    utf8.resize(count * 3);
    char* const begin = utf8.data();
    char* out = begin;
    const char* digits = hexDigits.data();
#if defined(__SSE2__)
    std::size_t nextBlock = 0; // after a block that is not plain ASCII, go on unit by unit for a while
#endif
    for (std::size_t i = 0; i < count; ++i)
    {
#if defined(__SSE2__)
        // Most stored text is ASCII: eight units at a time.
        while (i >= nextBlock && count - i >= 8)
        {
            if (!decodeAsciiBlock(digits + 4 * i, out))
            {
                nextBlock = i + 8;
                break;
            }
            out += 8;
            i += 8;
        }
        if (i == count)
            break;
#endif
        const long unit = decodeUnit(digits + 4 * i);
        if (unit < 0)
        {
            utf8.clear();
            return false;
        }
        char32_t c = static_cast<char32_t>(unit);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count)
        {
            const long next = decodeUnit(digits + 4 * (i + 1));
            if (next < 0)
            {
                utf8.clear();
                return false;
            }
            if (next >= 0xDC00 && next <= 0xDFFF)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(next) - 0xDC00);
                ++i;
            }
        }
        out = detail::writeUtf8(out, c); // a lone surrogate comes out as U+FFFD
    }
    utf8.resize(static_cast<std::size_t>(out - begin));
    return true;
}

bool isBlankSqlTail(std::string_view text)
{
    std::vector<Token> tokens;
    std::string error;
    if (!detail::tokenizeSql(text, tokens, error))
        return false;
    for (const Token& token : tokens)
    {
        if (token.isSignificant() && token.kind != TokenKind::Semicolon)
            return false;
    }
    return true;
}

std::string quoteIdentifier(std::string_view name)
{
    std::string quoted = "\"";
    for (const char c : name)
    {
        quoted.push_back(c);
        if (c == '"')
            quoted.push_back('"');
    }
    quoted.push_back('"');
    return quoted;
}

bool renameCreateStatement(std::string_view sql, std::string_view newName, std::string_view onTable,
                           std::string& out)
{
    std::vector<Token> tokens;
    std::string error;
    if (!detail::tokenizeSql(sql, tokens, error))
        return false;
    const std::vector<std::size_t> significant = detail::significantTokens(tokens);
    detail::TokenOutput output(tokens);

    std::size_t n = 0;
    const auto keyword = [&](std::string_view word)
    { return n < significant.size() && tokens[significant[n]].isKeyword(word); };
    // Replaces a possibly schema-qualified name starting at significant token n.
    const auto replaceName = [&](std::string_view name)
    {
        if (n >= significant.size() ||
            !(tokens[significant[n]].isName() || tokens[significant[n]].kind == TokenKind::SingleString))
            return false;
        std::size_t last = n;
        if (n + 2 < significant.size() && tokens[significant[n + 1]].isOperator('.') &&
            tokens[significant[n + 2]].isName())
            last = n + 2;
        for (std::size_t t = significant[n]; t <= significant[last]; ++t)
            output.remove(t);
        output.replace(significant[n], quoteIdentifier(name));
        n = last + 1;
        return true;
    };

    if (!keyword("create"))
        return false;
    ++n;
    if (keyword("temp") || keyword("temporary"))
        ++n;
    bool isIndex = false;
    if (keyword("unique"))
    {
        ++n;
        isIndex = true;
        if (!keyword("index"))
            return false;
    }
    if (keyword("index"))
        isIndex = true;
    else if (!keyword("table"))
        return false;
    ++n;
    if (keyword("if"))
    {
        n += 3; // IF NOT EXISTS
    }
    if (!replaceName(newName))
        return false;
    if (isIndex && !onTable.empty())
    {
        if (!keyword("on"))
            return false;
        ++n;
        if (!replaceName(onTable))
            return false;
    }
    out = output.join();
    return true;
}

} // namespace ado
