#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado::detail
{

enum class TokenKind
{
    Space,
    Comment,
    Word,         // identifier or keyword
    Bracketed,    // [name]
    Backquoted,   // `name`
    SingleString, // 'text'
    DoubleString, // "text"
    HexText,      // 0x0041...
    Number,
    Parameter, // ?, ?NNN, :name, @name, $name, #name
    Semicolon,
    Operator // any other single character
};

struct Token
{
    TokenKind kind;
    std::string_view text;

    bool isSignificant() const { return kind != TokenKind::Space && kind != TokenKind::Comment; }
    bool isOperator(char c) const { return kind == TokenKind::Operator && text.size() == 1 && text[0] == c; }
    bool isKeyword(std::string_view word) const;
    // A name: word, bracketed, back-quoted or (in SQLite's own dialect) double-quoted.
    bool isName() const;
};

// Splits SQL into tokens that cover the text exactly. False (with a reason)
// for an unterminated quote, bracket or back-quote.
bool tokenizeSql(std::string_view sql, std::vector<Token>& tokens, std::string& error);

// Indexes of the significant tokens (no blanks or comments).
std::vector<std::size_t> significantTokens(const std::vector<Token>& tokens);
void significantTokens(const std::vector<Token>& tokens, std::vector<std::size_t>& indexes);

// What a rewrite makes of each token: its own text unless replaced (an empty
// replacement removes it). Only replaced tokens are copied: the text literals
// of a stored item run to kilobytes and are replaced by a parameter marker.
class TokenOutput
{
public:
    explicit TokenOutput(const std::vector<Token>& tokens) : m_tokens(tokens), m_replaced(tokens.size()) {}

    void replace(std::size_t token, std::string text) { m_replaced[token] = std::move(text); }
    void remove(std::size_t token) { m_replaced[token].emplace(); }
    std::string join() const;

private:
    const std::vector<Token>& m_tokens;
    std::vector<std::optional<std::string>> m_replaced;
};

} // namespace ado::detail
