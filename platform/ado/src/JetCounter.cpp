#include "JetCounter.h"

#include "Ascii.h"

#include <optional>

namespace ado::detail
{

namespace
{

bool isCounterType(const Token& token)
{
    return token.isKeyword("counter") || token.isKeyword("autoincrement");
}

// A name without its brackets or quotes.
std::string_view bareName(const Token& token)
{
    if (token.kind == TokenKind::Word || token.text.size() < 2)
        return token.text;
    return token.text.substr(1, token.text.size() - 2);
}

// One element of a CREATE TABLE list: significant indexes, both inclusive.
struct Definition
{
    std::size_t first;
    std::size_t last;
};

class CounterRewrite
{
public:
    CounterRewrite(const std::vector<Token>& tokens, const std::vector<std::size_t>& significant,
                   TokenOutput& output)
        : m_tokens(tokens), m_significant(significant), m_output(output)
    {
    }

    bool run(std::string& error)
    {
        if (m_significant.empty())
            return true;
        if (sig(0).isKeyword("alter"))
            return checkAlter(error);
        std::vector<Definition> definitions;
        if (!splitCreateTable(definitions))
            return true;

        std::optional<Definition> counter;
        std::optional<std::size_t> counterKey; // its own inline PRIMARY KEY
        std::optional<Definition> tableKey;    // a PRIMARY KEY (...) element
        std::vector<std::string_view> tableKeyColumns;
        bool otherInlineKey = false;
        for (const Definition& definition : definitions)
        {
            if (definition.first > definition.last)
                continue;
            if (isTableConstraint(definition.first))
            {
                if (readTableKey(definition, tableKeyColumns))
                    tableKey = definition;
                continue;
            }
            const std::optional<std::size_t> inlineKey = findInlineKey(definition);
            if (definition.first + 1 <= definition.last && isCounterType(sig(definition.first + 1)))
            {
                if (counter)
                {
                    error = "A table can have only one COUNTER column.";
                    return false;
                }
                counter = definition;
                counterKey = inlineKey;
            }
            else if (inlineKey)
            {
                otherInlineKey = true;
            }
        }
        if (!counter)
            return true;

        const std::string_view counterName = bareName(sig(counter->first));
        const bool tableKeyIsCounter =
            tableKey && tableKeyColumns.size() == 1 && equalsIgnoreCase(tableKeyColumns.front(), counterName);
        if (otherInlineKey || (tableKey && !tableKeyIsCounter))
        {
            error = "A COUNTER column must be its table's only key.";
            return false;
        }
        std::size_t typeEnd = counter->first + 1;
        if (!readSeedAndStep(typeEnd, counter->last, error))
            return false;

        clear(counter->first + 1, typeEnd);
        m_output.replace(m_significant[counter->first + 1], "INTEGER PRIMARY KEY AUTOINCREMENT");
        if (counterKey)
            clear(*counterKey, *counterKey + 1);
        if (tableKeyIsCounter)
            clear(tableKey->first - 1, tableKey->last); // with the comma before it
        return true;
    }

private:
    const Token& sig(std::size_t n) const { return m_tokens[m_significant[n]]; }
    bool sigIs(std::size_t n, char op) const { return n < m_significant.size() && sig(n).isOperator(op); }
    bool sigKeyword(std::size_t n, std::string_view word) const
    {
        return n < m_significant.size() && sig(n).isKeyword(word);
    }
    // Clears significant tokens [first, last] and the blanks between them.
    void clear(std::size_t first, std::size_t last)
    {
        for (std::size_t t = m_significant[first]; t <= m_significant[last]; ++t)
            m_output.remove(t);
    }

    // ALTER TABLE cannot add a rowid alias to a table that has rows.
    bool checkAlter(std::string& error) const
    {
        for (std::size_t n = 1; n < m_significant.size(); ++n)
        {
            if (!sig(n).isKeyword("add"))
                continue;
            std::size_t name = n + 1;
            if (sigKeyword(name, "column"))
                ++name;
            if (name + 1 < m_significant.size() && isCounterType(sig(name + 1)))
            {
                error = "A COUNTER column can only be made together with its table.";
                return false;
            }
        }
        return true;
    }

    // The elements of CREATE [TEMP] TABLE name ( ... ); false for any other
    // statement (CREATE TABLE ... AS SELECT included).
    bool splitCreateTable(std::vector<Definition>& definitions) const
    {
        std::size_t n = 0;
        if (!sigKeyword(n++, "create"))
            return false;
        if (sigKeyword(n, "temp") || sigKeyword(n, "temporary"))
            ++n;
        if (!sigKeyword(n, "table"))
            return false;
        for (; n < m_significant.size() && !sig(n).isOperator('('); ++n)
        {
            if (sig(n).isKeyword("as"))
                return false;
        }
        int depth = 0;
        std::size_t start = n + 1;
        for (std::size_t k = n + 1; k < m_significant.size(); ++k)
        {
            if (sig(k).isOperator('('))
            {
                ++depth;
            }
            else if (sig(k).isOperator(')'))
            {
                if (depth-- == 0)
                {
                    definitions.push_back({start, k - 1});
                    return true;
                }
            }
            else if (depth == 0 && sig(k).isOperator(','))
            {
                definitions.push_back({start, k - 1});
                start = k + 1;
            }
        }
        return false; // unbalanced: SQLite reports it
    }

    bool isTableConstraint(std::size_t n) const
    {
        return sigKeyword(n, "constraint") || sigKeyword(n, "primary") || sigKeyword(n, "unique") ||
               sigKeyword(n, "check") || sigKeyword(n, "foreign");
    }

    // The columns of a [CONSTRAINT name] PRIMARY KEY (a, b) element.
    bool readTableKey(const Definition& definition, std::vector<std::string_view>& columns) const
    {
        std::size_t n = definition.first;
        if (sigKeyword(n, "constraint"))
            n += 2;
        if (!sigKeyword(n, "primary") || !sigKeyword(n + 1, "key") || !sigIs(n + 2, '('))
            return false;
        columns.clear();
        bool atName = true;
        for (n += 3; n <= definition.last && !sig(n).isOperator(')'); ++n)
        {
            if (atName && sig(n).isName())
                columns.push_back(bareName(sig(n)));
            atName = sig(n).isOperator(',');
        }
        return true;
    }

    std::optional<std::size_t> findInlineKey(const Definition& definition) const
    {
        for (std::size_t n = definition.first + 1; n < definition.last; ++n)
        {
            if (sig(n).isKeyword("primary") && sig(n + 1).isKeyword("key"))
                return n;
        }
        return std::nullopt;
    }

    // "(1, 1)" after the type, the only numbering a rowid alias gives. On
    // return `typeEnd` is the last significant token of the type.
    bool readSeedAndStep(std::size_t& typeEnd, std::size_t last, std::string& error) const
    {
        const std::size_t open = typeEnd + 1;
        if (open > last || !sig(open).isOperator('('))
            return true;
        const bool oneAndOne = open + 4 <= last && sig(open + 1).text == "1" && sigIs(open + 2, ',') &&
                               sig(open + 3).text == "1" && sigIs(open + 4, ')');
        if (!oneAndOne)
        {
            error = "A COUNTER column is numbered from 1 in steps of 1 here.";
            return false;
        }
        typeEnd = open + 4;
        return true;
    }

    const std::vector<Token>& m_tokens;
    const std::vector<std::size_t>& m_significant;
    TokenOutput& m_output;
};

} // namespace

bool numberCounterColumns(const std::vector<Token>& tokens, const std::vector<std::size_t>& significant,
                          TokenOutput& output, std::string& error)
{
    return CounterRewrite(tokens, significant, output).run(error);
}

} // namespace ado::detail
