#include "PluralRule.h"

#include <cctype>

namespace
{
// A catalog is a file from outside: its expression is bounded in length and
// in nesting, and nothing it computes can fault.
constexpr std::size_t kMaximumLength = 512;
constexpr int kMaximumDepth = 32;

// Evaluates the expression for n by recursive descent, in C's precedence.
class Evaluator
{
public:
    Evaluator(std::string_view text, unsigned long n) : m_text(text), m_n(n) {}

    // False when the text is no complete expression.
    bool run(unsigned long& value)
    {
        value = ternary(0);
        skipBlanks();
        return m_ok && m_at == m_text.size();
    }

private:
    void skipBlanks()
    {
        while (m_at < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_at])))
            ++m_at;
    }
    bool take(std::string_view token)
    {
        skipBlanks();
        if (m_text.compare(m_at, token.size(), token) != 0)
            return false;
        // "<" is not the start of "<=", nor "!" of "!=".
        if (token.size() == 1 && m_at + 1 < m_text.size() && m_text[m_at + 1] == '=' &&
            (token == "<" || token == ">" || token == "!"))
            return false;
        m_at += token.size();
        return true;
    }
    bool enter(int depth)
    {
        if (depth > kMaximumDepth)
            m_ok = false;
        return m_ok;
    }

    unsigned long ternary(int depth)
    {
        if (!enter(depth))
            return 0;
        unsigned long condition = logicalOr(depth);
        if (!take("?"))
            return condition;
        unsigned long whenTrue = ternary(depth + 1);
        if (!take(":"))
            m_ok = false;
        unsigned long whenFalse = ternary(depth + 1);
        return condition != 0 ? whenTrue : whenFalse;
    }
    unsigned long logicalOr(int depth)
    {
        unsigned long value = logicalAnd(depth);
        while (m_ok && take("||"))
            value = (logicalAnd(depth) != 0) || value != 0;
        return value;
    }
    unsigned long logicalAnd(int depth)
    {
        unsigned long value = equality(depth);
        while (m_ok && take("&&"))
            value = (equality(depth) != 0) && value != 0;
        return value;
    }
    unsigned long equality(int depth)
    {
        unsigned long value = relation(depth);
        for (;;)
        {
            if (take("=="))
                value = value == relation(depth);
            else if (take("!="))
                value = value != relation(depth);
            else
                return value;
        }
    }
    unsigned long relation(int depth)
    {
        unsigned long value = sum(depth);
        for (;;)
        {
            if (take("<="))
                value = value <= sum(depth);
            else if (take(">="))
                value = value >= sum(depth);
            else if (take("<"))
                value = value < sum(depth);
            else if (take(">"))
                value = value > sum(depth);
            else
                return value;
        }
    }
    unsigned long sum(int depth)
    {
        unsigned long value = product(depth);
        for (;;)
        {
            if (take("+"))
                value += product(depth);
            else if (take("-"))
                value -= product(depth);
            else
                return value;
        }
    }
    unsigned long product(int depth)
    {
        unsigned long value = unary(depth);
        for (;;)
        {
            bool divide = false;
            if (take("*"))
            {
                value *= unary(depth);
                continue;
            }
            if (take("/"))
                divide = true;
            else if (!take("%"))
                return value;
            unsigned long divisor = unary(depth);
            if (divisor == 0)
            {
                m_ok = false;
                return 0;
            }
            value = divide ? value / divisor : value % divisor;
        }
    }
    unsigned long unary(int depth)
    {
        if (take("!"))
            return enter(depth + 1) ? unary(depth + 1) == 0 : 0;
        return primary(depth);
    }
    unsigned long primary(int depth)
    {
        skipBlanks();
        if (take("("))
        {
            unsigned long value = ternary(depth + 1);
            if (!take(")"))
                m_ok = false;
            return value;
        }
        if (take("n"))
            return m_n;
        if (m_at >= m_text.size() || !std::isdigit(static_cast<unsigned char>(m_text[m_at])))
        {
            m_ok = false;
            return 0;
        }
        unsigned long value = 0;
        while (m_at < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_at])))
            value = value * 10 + static_cast<unsigned long>(m_text[m_at++] - '0');
        return value;
    }

    std::string_view m_text;
    unsigned long m_n;
    std::size_t m_at = 0;
    bool m_ok = true;
};
} // namespace

bool PluralRule::parse(std::string_view header)
{
    std::size_t start = header.find("plural=");
    if (start == std::string_view::npos)
        return false;
    start += 7;
    std::string_view expression = header.substr(start, header.find(';', start) - start);
    if (expression.size() > kMaximumLength)
        return false;
    // A rule must read for any number: two unlike ones are tried.
    unsigned long value = 0;
    if (!Evaluator(expression, 1).run(value) || !Evaluator(expression, 5).run(value))
        return false;
    m_expression = std::string(expression);
    return true;
}

unsigned long PluralRule::formFor(unsigned long n) const
{
    unsigned long value = 0;
    // A division by zero for this very number: the first form.
    return Evaluator(m_expression, n).run(value) ? value : 0;
}
