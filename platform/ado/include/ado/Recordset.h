#pragma once

#include "ado/Value.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ado
{

// The rows of one query, read into memory when the query ran (a static
// cursor): no statement stays open while the caller walks them.
class Recordset
{
public:
    Recordset() = default;

    bool isOpen() const { return m_open; }
    // Drops the rows; the recordset is closed afterwards.
    void close();

    // Position: both EOF and BOF are set on an empty result.
    bool eof() const { return !m_open || m_position >= m_rowCount; }
    bool bof() const { return !m_open || m_rowCount == 0; }
    void moveFirst() { m_position = 0; }
    void moveNext();
    void moveLast();
    std::size_t position() const { return m_position; }

    std::size_t recordCount() const { return m_rowCount; }
    std::size_t fieldCount() const { return m_names.size(); }
    const std::string& fieldName(std::size_t ordinal) const { return m_names.at(ordinal); }
    // Index of a column by name, ignoring ASCII case; -1 when absent.
    int fieldIndex(std::string_view name) const;

    // Field of the current row; null when there is no current row or no such field.
    const Value* field(std::size_t ordinal) const;
    const Value* field(std::string_view name) const;

    // Builds an open recordset (used by Connection).
    void assign(std::vector<std::string> names, std::vector<Value> values);

private:
    bool m_open = false;
    std::vector<std::string> m_names;
    std::vector<Value> m_values; // row-major, fieldCount() values per row
    std::size_t m_rowCount = 0;
    std::size_t m_position = 0;
};

} // namespace ado
