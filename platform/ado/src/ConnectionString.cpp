#include "ado/ConnectionString.h"

#include "Ascii.h"

namespace ado
{

namespace
{

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && detail::isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && detail::isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

ConnectionString ConnectionString::parse(std::string_view text)
{
    ConnectionString result;
    std::size_t i = 0;
    while (i < text.size())
    {
        const std::size_t keyStart = i;
        while (i < text.size() && text[i] != '=' && text[i] != ';')
            ++i;
        const std::string_view key = trimmed(text.substr(keyStart, i - keyStart));
        if (i >= text.size() || text[i] == ';')
        {
            ++i; // a segment without "=" says nothing
            continue;
        }
        ++i; // '='
        while (i < text.size() && detail::isBlank(text[i]))
            ++i;
        std::string value;
        if (i < text.size() && (text[i] == '"' || text[i] == '\''))
        {
            const char quote = text[i++];
            while (i < text.size())
            {
                if (text[i] == quote)
                {
                    if (i + 1 < text.size() && text[i + 1] == quote)
                    {
                        value.push_back(quote);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value.push_back(text[i++]);
            }
            while (i < text.size() && text[i] != ';')
                ++i;
        }
        else
        {
            const std::size_t valueStart = i;
            while (i < text.size() && text[i] != ';')
                ++i;
            value = std::string(trimmed(text.substr(valueStart, i - valueStart)));
        }
        ++i; // ';'

        if (detail::equalsIgnoreCase(key, "Provider"))
        {
            result.provider = std::move(value);
        }
        else if (detail::equalsIgnoreCase(key, "Data Source"))
        {
            result.dataSource = std::move(value);
            result.hasDataSource = true;
        }
        else if (detail::equalsIgnoreCase(key, "Jet OLEDB:Database Password"))
        {
            result.password = std::move(value);
        }
    }
    return result;
}

} // namespace ado
