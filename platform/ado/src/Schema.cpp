#include "ado/Schema.h"

#include "Ascii.h"
#include "ado/Connection.h"

namespace ado
{

namespace
{

std::string upperAscii(const std::string& text)
{
    std::string out(text);
    for (char& c : out)
    {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool containsAny(const std::string& text, std::initializer_list<const char*> parts)
{
    for (const char* part : parts)
    {
        if (text.find(part) != std::string::npos)
            return true;
    }
    return false;
}

// A column default as ADO shows it: a string literal without its quotes.
std::string defaultText(const std::string& sql)
{
    if (sql.size() >= 2 && sql.front() == '\'' && sql.back() == '\'')
    {
        std::string value;
        for (std::size_t i = 1; i + 1 < sql.size(); ++i)
        {
            value.push_back(sql[i]);
            if (sql[i] == '\'')
                ++i;
        }
        return value;
    }
    return sql;
}

std::string textAt(const Recordset& rows, std::size_t column)
{
    const Value* value = rows.field(column);
    return value ? value->toText() : std::string();
}

} // namespace

int dataTypeOf(const std::string& declaredType)
{
    const std::string type = upperAscii(declaredType);
    if (type.empty())
        return kTypeVariant;
    if (type.find("INT") != std::string::npos)
        return type.find("BIGINT") != std::string::npos     ? kTypeBigInt
               : type.find("SMALLINT") != std::string::npos ? kTypeSmallInt
                                                            : kTypeInteger;
    if (containsAny(type, {"BOOL", "BIT", "YESNO"}))
        return kTypeBoolean;
    if (containsAny(type, {"DATE", "TIME"}))
        return kTypeDate;
    if (containsAny(type, {"CHAR", "TEXT", "CLOB", "MEMO"}))
        return maxLengthOf(declaredType) > 0 ? kTypeVarWChar : kTypeLongVarWChar;
    if (containsAny(type, {"REAL", "FLOA", "DOUB"}))
        return kTypeDouble;
    if (type.find("CURRENCY") != std::string::npos)
        return kTypeCurrency;
    if (containsAny(type, {"NUMERIC", "DEC"}))
        return kTypeNumeric;
    if (containsAny(type, {"BLOB", "BINARY"}))
        return kTypeLongVarBinary;
    return kTypeVariant;
}

int maxLengthOf(const std::string& declaredType)
{
    const std::string type = upperAscii(declaredType);
    if (!containsAny(type, {"CHAR", "TEXT", "CLOB", "MEMO", "BINARY"}))
        return 0;
    const std::size_t open = type.find('(');
    if (open == std::string::npos)
        return 0;
    int length = 0;
    for (std::size_t i = open + 1; i < type.size() && type[i] >= '0' && type[i] <= '9'; ++i)
    {
        length = length * 10 + (type[i] - '0');
        if (length > 1000000000)
            return 0;
    }
    return length;
}

bool Connection::tableNames(std::vector<std::string>& names)
{
    names.clear();
    Recordset rows;
    if (!query("SELECT name FROM sqlite_schema WHERE type IN ('table', 'view') ORDER BY rowid", {}, rows))
        return false;
    for (; !rows.eof(); rows.moveNext())
        names.push_back(textAt(rows, 0));
    return true;
}

bool Connection::tableExists(std::string_view table, bool& exists)
{
    exists = false;
    Recordset rows;
    if (!query("SELECT 1 FROM sqlite_schema WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
               {std::string(table)}, rows))
        return false;
    exists = rows.recordCount() > 0;
    return true;
}

bool Connection::columns(std::string_view table, std::vector<ColumnInfo>& columns)
{
    columns.clear();
    Recordset rows;
    if (!query("SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1) ORDER BY cid",
               {std::string(table)}, rows))
        return false;
    int keyColumns = 0;
    for (; !rows.eof(); rows.moveNext())
    {
        ColumnInfo column;
        column.name = textAt(rows, 0);
        column.declaredType = textAt(rows, 1);
        column.nullable = rows.field(2)->toInt32() == 0;
        const Value* defaultValue = rows.field(3);
        column.hasDefault =
            !defaultValue->isNull() && !detail::equalsIgnoreCase(defaultValue->toText(), "NULL");
        if (column.hasDefault)
            column.defaultValue = defaultText(defaultValue->toText());
        column.primaryKeyPosition = rows.field(4)->toInt32();
        column.dataType = dataTypeOf(column.declaredType);
        column.maxLength = maxLengthOf(column.declaredType);
        if (column.primaryKeyPosition > 0)
            ++keyColumns;
        columns.push_back(std::move(column));
    }
    // Only a lone INTEGER PRIMARY KEY is the rowid alias, numbered by SQLite.
    for (ColumnInfo& column : columns)
        column.autoIncrement = keyColumns == 1 && column.primaryKeyPosition == 1 &&
                               detail::equalsIgnoreCase(column.declaredType, "INTEGER");
    return true;
}

bool Connection::foreignKeys(std::string_view table, std::vector<ForeignKeyInfo>& keys)
{
    keys.clear();
    Recordset rows;
    if (!query("SELECT id, seq, \"table\", \"from\", \"to\", on_update, on_delete "
               "FROM pragma_foreign_key_list(?1) ORDER BY id, seq",
               {std::string(table)}, rows))
        return false;
    for (; !rows.eof(); rows.moveNext())
    {
        ForeignKeyInfo key;
        key.id = rows.field(0)->toInt32();
        key.sequence = rows.field(1)->toInt32();
        key.referencedTable = textAt(rows, 2);
        key.column = textAt(rows, 3);
        key.referencedColumn = textAt(rows, 4);
        key.onUpdate = textAt(rows, 5);
        key.onDelete = textAt(rows, 6);
        keys.push_back(std::move(key));
    }
    return true;
}

bool Connection::indexes(std::string_view table, std::vector<IndexInfo>& indexes)
{
    indexes.clear();
    Recordset rows;
    if (!query("SELECT name, sql FROM sqlite_schema WHERE type = 'index' AND tbl_name = ?1 COLLATE NOCASE "
               "AND sql IS NOT NULL ORDER BY rowid",
               {std::string(table)}, rows))
        return false;
    for (; !rows.eof(); rows.moveNext())
        indexes.push_back(IndexInfo{textAt(rows, 0), textAt(rows, 1)});
    return true;
}

bool Connection::tableDefinition(std::string_view table, std::string& storedName, std::string& sql)
{
    storedName.clear();
    sql.clear();
    Recordset rows;
    if (!query("SELECT name, sql FROM sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
               {std::string(table)}, rows))
        return false;
    if (rows.eof())
    {
        m_error = Error::layer(kItemNotFound, "No table named " + std::string(table) + ".");
        return false;
    }
    storedName = textAt(rows, 0);
    sql = textAt(rows, 1);
    return true;
}

} // namespace ado
