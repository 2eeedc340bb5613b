#include "DatabaseSupport.h"
#include "foundation/uActiveXDataObject.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace
{

const char* const kNoCurrentRecordText = "Either BOF or EOF is True, or the current record has been deleted. "
                                         "Requested operation requires a current record.";

// Copies a text value and its NUL into a caller's buffer.
void copyToBuffer(char* out, const std::string& bytes)
{
    std::memcpy(out, bytes.data(), bytes.size());
    out[bytes.size()] = '\0';
}

} // namespace

bool uActiveXDataObject::selectRows(const char* table, const char* column, const char* condition,
                                    const char* tail, ado::Recordset& rows)
{
    if (!table || !column)
    {
        m_errorCode = kNoError;
        return false;
    }
    if (!beginStatement())
        return false;
    std::string sql = std::string("select ") + column + " from " + table + dbsupport::whereClause(condition);
    if (tail)
        sql += std::string(" ") + tail;
    if (!m_connection.query(sql, rows))
    {
        failStatement();
        return false;
    }
    return true;
}

const ado::Value* uActiveXDataObject::firstValue(const ado::Recordset& rows)
{
    const ado::Value* value = rows.field(0);
    if (!value)
        failStatement(ado::Error::layer(ado::kNoCurrentRecord, kNoCurrentRecordText));
    return value;
}

bool uActiveXDataObject::selectString(const char* table, const char* column, uString& out,
                                      const char* condition)
{
    out.setEmpty();
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows))
        return false;
    const ado::Value* value = firstValue(rows);
    if (!value || !(value->isText() || value->isNull()))
        return false;
    dbsupport::assignBytes(out, value->bytes);
    return true;
}

bool uActiveXDataObject::selectChars(const char* table, const char* column, char* out, const char* condition)
{
    if (!out)
        return false;
    out[0] = '\0';
    uString value;
    if (!selectString(table, column, value, condition))
        return false;
    copyToBuffer(out, std::string(value.c_str(), static_cast<std::size_t>(value.getLength())));
    return true;
}

bool uActiveXDataObject::selectInt(const char* table, const char* column, int* out, const char* condition)
{
    if (out)
        *out = -1;
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows))
        return false;
    const ado::Value* value = firstValue(rows);
    if (!value)
        return false;
    if (out)
        *out = value->toInt32();
    return true;
}

bool uActiveXDataObject::deleteRows(const char* table, const char* condition)
{
    if (!table)
    {
        m_errorCode = kNoError;
        return false;
    }
    const std::string sql = std::string("delete from ") + table + dbsupport::whereClause(condition);
    return execute(sql.c_str());
}

int uActiveXDataObject::count(const char* table, const char* column, const char* condition)
{
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows))
        return 0;
    return rows.recordCount() > INT_MAX ? INT_MAX : static_cast<int>(rows.recordCount());
}

bool uActiveXDataObject::selectCharsAt(const char* table, const char* column, char* out, int row,
                                       const char* condition)
{
    if (!out)
        return false;
    out[0] = '\0';
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows) || row < 0 ||
        static_cast<std::size_t>(row) >= rows.recordCount())
        return false;
    for (int i = 0; i < row; ++i)
        rows.moveNext();
    const ado::Value* value = rows.field(0);
    if (!value || !value->isText())
        return false;
    copyToBuffer(out, value->bytes);
    return true;
}

bool uActiveXDataObject::selectIntAt(const char* table, const char* column, int* out, int row,
                                     const char* condition)
{
    if (out)
        *out = -1;
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows) || row < 0 ||
        static_cast<std::size_t>(row) >= rows.recordCount())
        return false;
    for (int i = 0; i < row; ++i)
        rows.moveNext();
    if (out)
        *out = rows.field(0)->toInt32();
    return true;
}

char* uActiveXDataObject::getString(const char* table, const char* column, const char* condition)
{
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows))
        return nullptr;
    const ado::Value* value = firstValue(rows);
    if (!value || !value->isText())
        return nullptr;
    return dbsupport::mallocCopy(value->bytes);
}

int uActiveXDataObject::getInt(const char* table, const char* column, const char* condition)
{
    ado::Recordset rows;
    if (!selectRows(table, column, condition, nullptr, rows))
        return 0;
    const ado::Value* value = firstValue(rows);
    return value ? value->toInt32() : 0;
}

int* uActiveXDataObject::selectIntArray(const char* table, const char* column, const char* condition,
                                        const char* tail)
{
    ado::Recordset rows;
    if (!selectRows(table, column, condition, tail, rows) || rows.recordCount() == 0)
        return nullptr;
    int* values = static_cast<int*>(std::calloc(2 * rows.recordCount(), sizeof(int)));
    if (!values)
        return nullptr;
    // Whole 32-bit values, not their low 16 bits: ids past 65,535 must come back as stored.
    for (std::size_t i = 0; !rows.eof(); rows.moveNext(), ++i)
        values[i] = rows.field(0)->toInt32();
    return values;
}

bool uActiveXDataObject::selectIntList(const char* table, const char* column, std::list<int>& out,
                                       const char* condition, const char* tail)
{
    out.clear();
    ado::Recordset rows;
    if (!selectRows(table, column, condition, tail, rows))
        return false;
    // Whole 32-bit values, as in selectIntArray.
    for (; !rows.eof(); rows.moveNext())
        out.push_back(rows.field(0)->toInt32());
    return true;
}

bool uActiveXDataObject::selectStringList(const char* table, const char* column, std::list<uString>& out,
                                          const char* condition, const char* tail)
{
    out.clear();
    ado::Recordset rows;
    if (!selectRows(table, column, condition, tail, rows))
        return false;
    for (; !rows.eof(); rows.moveNext())
    {
        out.emplace_back();
        const ado::Value* value = rows.field(0);
        if (value->isText())
            dbsupport::assignBytes(out.back(), value->bytes);
    }
    return true;
}
