#include "ado/Recordset.h"

#include "Ascii.h"

namespace ado
{

void Recordset::close()
{
    m_open = false;
    m_names.clear();
    m_values.clear();
    m_rowCount = 0;
    m_position = 0;
}

void Recordset::moveNext()
{
    if (m_position < m_rowCount)
        ++m_position;
}

void Recordset::moveLast()
{
    m_position = m_rowCount == 0 ? 0 : m_rowCount - 1;
}

int Recordset::fieldIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i)
    {
        if (detail::equalsIgnoreCase(m_names[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

const Value* Recordset::field(std::size_t ordinal) const
{
    if (eof() || ordinal >= m_names.size())
        return nullptr;
    return &m_values[m_position * m_names.size() + ordinal];
}

const Value* Recordset::field(std::string_view name) const
{
    const int index = fieldIndex(name);
    return index < 0 ? nullptr : field(static_cast<std::size_t>(index));
}

void Recordset::assign(std::vector<std::string> names, std::vector<Value> values)
{
    m_names = std::move(names);
    m_values = std::move(values);
    m_rowCount = m_names.empty() ? 0 : m_values.size() / m_names.size();
    m_position = 0;
    m_open = true;
}

} // namespace ado
