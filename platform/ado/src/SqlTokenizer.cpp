#include "SqlTokenizer.h"

#include "Ascii.h"
#include "HexDigits.h"

namespace ado::detail
{

namespace
{

bool isIdStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || u >= 0x80;
}

bool isIdChar(char c)
{
    return isIdStart(c) || (c >= '0' && c <= '9') || c == '$';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Index just past the run of hex digits that starts at `i`, sixteen bytes at
// a time where the processor allows.
std::size_t skipHexDigits(std::string_view sql, std::size_t i)
{
#if defined(__SSE2__)
    while (sql.size() - i >= 16)
    {
        unsigned digits = 0;
        hexNibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sql.data() + i)), digits);
        if (digits != 0xFFFF)
            return i + static_cast<std::size_t>(__builtin_ctz(~digits));
        i += 16;
    }
#endif
    while (i < sql.size() && isHexDigit(sql[i]))
        ++i;
    return i;
}

// Index just past a quoted run that starts at `i` with `quote`; doubled quotes
// stand for one. npos when unterminated.
std::size_t skipQuoted(std::string_view sql, std::size_t i, char quote)
{
    ++i;
    while (i < sql.size())
    {
        if (sql[i] == quote)
        {
            if (i + 1 < sql.size() && sql[i + 1] == quote)
            {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return std::string_view::npos;
}

} // namespace

bool Token::isKeyword(std::string_view word) const
{
    return kind == TokenKind::Word && equalsIgnoreCase(text, word);
}

bool Token::isName() const
{
    return kind == TokenKind::Word || kind == TokenKind::Bracketed || kind == TokenKind::Backquoted ||
           kind == TokenKind::DoubleString;
}

bool tokenizeSql(std::string_view sql, std::vector<Token>& tokens, std::string& error)
{
    tokens.clear();
    std::size_t i = 0;
    while (i < sql.size())
    {
        const std::size_t start = i;
        const char c = sql[i];
        TokenKind kind = TokenKind::Operator;
        if (isBlank(c))
        {
            while (i < sql.size() && isBlank(sql[i]))
                ++i;
            kind = TokenKind::Space;
        }
        else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-')
        {
            while (i < sql.size() && sql[i] != '\n')
                ++i;
            kind = TokenKind::Comment;
        }
        else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*')
        {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
            kind = TokenKind::Comment;
        }
        else if (c == '\'' || c == '"' || c == '`')
        {
            i = skipQuoted(sql, i, c);
            if (i == std::string_view::npos)
            {
                error = std::string("Unterminated ") + (c == '`' ? "quoted name" : "string") +
                        " in the statement.";
                return false;
            }
            kind = c == '\''  ? TokenKind::SingleString
                   : c == '"' ? TokenKind::DoubleString
                              : TokenKind::Backquoted;
        }
        else if (c == '[')
        {
            const std::size_t end = sql.find(']', i + 1);
            if (end == std::string_view::npos)
            {
                error = "Unterminated bracketed name in the statement.";
                return false;
            }
            i = end + 1;
            kind = TokenKind::Bracketed;
        }
        else if (isDigit(c) || (c == '.' && i + 1 < sql.size() && isDigit(sql[i + 1])))
        {
            if (c == '0' && i + 2 < sql.size() && (sql[i + 1] == 'x' || sql[i + 1] == 'X') &&
                isHexDigit(sql[i + 2]))
            {
                i = skipHexDigits(sql, i + 2);
                kind = TokenKind::HexText;
            }
            else
            {
                while (i < sql.size() && (isDigit(sql[i]) || sql[i] == '.'))
                    ++i;
                if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E'))
                {
                    std::size_t j = i + 1;
                    if (j < sql.size() && (sql[j] == '+' || sql[j] == '-'))
                        ++j;
                    if (j < sql.size() && isDigit(sql[j]))
                    {
                        i = j;
                        while (i < sql.size() && isDigit(sql[i]))
                            ++i;
                    }
                }
                kind = TokenKind::Number;
            }
            // Letters glued to a number make one malformed token, as in SQLite:
            // it then fails there rather than being read as two tokens.
            if (i < sql.size() && isIdChar(sql[i]))
            {
                while (i < sql.size() && isIdChar(sql[i]))
                    ++i;
                kind = TokenKind::Number;
            }
        }
        else if (isIdStart(c))
        {
            while (i < sql.size() && isIdChar(sql[i]))
                ++i;
            kind = TokenKind::Word;
        }
        else if (c == '?')
        {
            ++i;
            while (i < sql.size() && isDigit(sql[i]))
                ++i;
            kind = TokenKind::Parameter;
        }
        else if ((c == ':' || c == '@' || c == '$' || c == '#') && i + 1 < sql.size() && isIdChar(sql[i + 1]))
        {
            ++i;
            while (i < sql.size() && isIdChar(sql[i]))
                ++i;
            kind = TokenKind::Parameter;
        }
        else if (c == ';')
        {
            ++i;
            kind = TokenKind::Semicolon;
        }
        else
        {
            ++i;
            kind = TokenKind::Operator;
        }
        tokens.push_back(Token{kind, sql.substr(start, i - start)});
    }
    return true;
}

std::vector<std::size_t> significantTokens(const std::vector<Token>& tokens)
{
    std::vector<std::size_t> indexes;
    significantTokens(tokens, indexes);
    return indexes;
}

void significantTokens(const std::vector<Token>& tokens, std::vector<std::size_t>& indexes)
{
    indexes.clear();
    for (std::size_t i = 0; i < tokens.size(); ++i)
    {
        if (tokens[i].isSignificant())
            indexes.push_back(i);
    }
}

std::string TokenOutput::join() const
{
    std::size_t size = 0;
    for (std::size_t t = 0; t < m_tokens.size(); ++t)
        size += m_replaced[t] ? m_replaced[t]->size() : m_tokens[t].text.size();
    std::string text;
    text.reserve(size);
    for (std::size_t t = 0; t < m_tokens.size(); ++t)
    {
        if (m_replaced[t])
            text += *m_replaced[t];
        else
            text += m_tokens[t].text;
    }
    return text;
}

} // namespace ado::detail
