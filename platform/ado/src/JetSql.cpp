#include "ado/JetSql.h"

#include "Ascii.h"
#include "SqlTokenizer.h"
#include "Utf8.h"

#include <array>

namespace ado
{

using detail::Token;
using detail::TokenKind;

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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
    explicit Translator(std::string_view statement) : m_statement(statement) {}

    JetTranslation run()
    {
        JetTranslation result;
        if (!detail::tokenizeSql(m_statement, m_tokens, result.error))
            return result;
        m_significant = detail::significantTokens(m_tokens);
        m_output.reserve(m_tokens.size());
        for (const Token& token : m_tokens)
            m_output.emplace_back(token.text);

        if (!checkSingleStatement(result.error) || !bindLiterals(result))
            return result;
        dropDeleteStar();
        dropSetQualifiers();
        concatenateText();

        for (const std::string& piece : m_output)
            result.sql += piece;
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
            m_output[t].clear();
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
        for (std::size_t t = 0; t < m_tokens.size(); ++t)
        {
            const Token& token = m_tokens[t];
            std::string value;
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
            else if (token.kind == TokenKind::DoubleString)
            {
                value = unquote(token.text);
            }
            else
            {
                continue;
            }
            result.parameters.push_back(std::move(value));
            m_output[t] = "?" + std::to_string(result.parameters.size());
        }
        return true;
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
                m_output[m_significant[n]] = "||";
        }
    }

    std::string_view m_statement;
    std::vector<Token> m_tokens;
    std::vector<std::size_t> m_significant;
    std::vector<std::string> m_output;
};

} // namespace

JetTranslation translateJetSql(std::string_view statement)
{
    return Translator(statement).run();
}

bool decodeUtf16Hex(std::string_view hexDigits, std::string& utf8)
{
    utf8.clear();
    if (hexDigits.size() % 4 != 0)
        return false;
    std::vector<char16_t> units;
    units.reserve(hexDigits.size() / 4);
    for (std::size_t i = 0; i < hexDigits.size(); i += 4)
    {
        int digits[4];
        for (int k = 0; k < 4; ++k)
        {
            digits[k] = hexValue(hexDigits[i + k]);
            if (digits[k] < 0)
                return false;
        }
        const unsigned low = static_cast<unsigned>(digits[0] * 16 + digits[1]);
        const unsigned high = static_cast<unsigned>(digits[2] * 16 + digits[3]);
        units.push_back(static_cast<char16_t>(low | (high << 8)));
    }
    utf8.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i)
    {
        const char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
        {
            const char32_t c =
                0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00);
            detail::appendUtf8(utf8, c);
            ++i;
        }
        else
        {
            detail::appendUtf8(utf8, unit); // a lone surrogate comes out as U+FFFD
        }
    }
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
    std::vector<std::string> output;
    for (const Token& token : tokens)
        output.emplace_back(token.text);

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
            output[t].clear();
        output[significant[n]] = quoteIdentifier(name);
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
    out.clear();
    for (const std::string& piece : output)
        out += piece;
    return true;
}

} // namespace ado
