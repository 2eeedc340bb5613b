#include "DatabaseSupport.h"
#include "ado/Catalog.h"
#include "foundation/uActiveXDataObject.h"
#include "foundation/uAscii.h"
#include "foundation/uHash.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// ---- schema queries ----------------------------------------------------------

bool uActiveXDataObject::columnExists(const char* table, const char* column)
{
    m_errorCode = kNoError;
    if (!table || !column || !ensureConnected())
        return false;
    std::vector<ado::ColumnInfo> columns;
    if (!m_connection.columns(dbsupport::bareTableName(table), columns))
    {
        failStatement();
        return false;
    }
    for (const ado::ColumnInfo& info : columns)
    {
        if (uString(info.name.c_str()).equalsNoCase(column))
            return true;
    }
    return false;
}

bool uActiveXDataObject::tableExists(const char* table)
{
    if (!table)
        return false;
    const int code = m_errorCode;
    if (!ensureConnected())
        return false;
    m_errorCode = code;
    bool exists = false;
    if (!m_connection.tableExists(dbsupport::bareTableName(table), exists))
    {
        m_message = formatEngineError(m_connection.lastError());
        return false;
    }
    return exists;
}

bool uActiveXDataObject::getAutoIncrementColumn(const char* table, uString& column)
{
    column.setEmpty();
    if (!table || !ensureConnected())
        return false;
    std::vector<ado::ColumnInfo> columns;
    if (!m_connection.columns(dbsupport::bareTableName(table), columns))
    {
        m_message = formatEngineError(m_connection.lastError());
        return false;
    }
    for (const ado::ColumnInfo& info : columns)
    {
        if (info.autoIncrement)
        {
            column.assign(info.name.c_str());
            return true;
        }
    }
    return false;
}

int uActiveXDataObject::getLastInsertId()
{
    uString column;
    if (m_lastInsertTable.isEmpty() || !getAutoIncrementColumn(m_lastInsertTable.c_str(), column))
        return 0;
    // This connection's own last row: another connection's insert cannot interfere.
    // The whole 32-bit id, not its low 16 bits: past 65,535 rows those would name another row.
    return static_cast<int>(m_connection.lastInsertRowId());
}

bool uActiveXDataObject::getPrimaryKey(const char* table, uString& columns)
{
    columns.setEmpty();
    m_errorCode = kNoError;
    if (!table || !ensureConnected())
        return false;
    std::vector<ado::ColumnInfo> info;
    if (!m_connection.columns(dbsupport::bareTableName(table), info))
    {
        failStatement();
        return false;
    }
    for (const ado::ColumnInfo& column : info)
    {
        if (column.primaryKeyPosition == 1)
        {
            columns.assign(column.name.c_str()); // the first column of the key
            return true;
        }
    }
    failStatement(ado::Error::layer(ado::kNoCurrentRecord, "The table has no primary key."));
    return false;
}

bool uActiveXDataObject::getForeignKey(const char* table, int n, uString& column, uString& referencedTable,
                                       uString& referencedColumn, uString& updateRule, uString& deleteRule)
{
    if (!table || n < 0 || !ensureConnected())
        return false;
    std::vector<ado::ForeignKeyInfo> keys;
    if (!m_connection.foreignKeys(dbsupport::bareTableName(table), keys))
    {
        failStatement();
        return false;
    }
    if (static_cast<std::size_t>(n) >= keys.size())
        return false;
    const ado::ForeignKeyInfo& key = keys[static_cast<std::size_t>(n)];
    column.assign(key.column.c_str());
    referencedTable.assign(key.referencedTable.c_str());
    referencedColumn.assign(key.referencedColumn.c_str());
    updateRule.assign(key.onUpdate.c_str());
    deleteRule.assign(key.onDelete.c_str());
    return true;
}

bool uActiveXDataObject::isForeignKeyColumn(const char* table, const char* column)
{
    uString from, referencedTable, referencedColumn, updateRule, deleteRule;
    for (int n = 0; getForeignKey(table, n, from, referencedTable, referencedColumn, updateRule, deleteRule);
         ++n)
    {
        if (from.equalsNoCase(column))
            return true;
    }
    return false;
}

bool uActiveXDataObject::describeColumns(const char* table, std::list<uString>& lines)
{
    lines.clear();
    m_errorCode = kNoError;
    if (!table || !ensureConnected())
        return false;
    std::vector<ado::ColumnInfo> columns;
    if (!m_connection.columns(dbsupport::bareTableName(table), columns))
    {
        failStatement();
        return false;
    }
    uString primaryKey;
    for (const ado::ColumnInfo& column : columns)
    {
        if (column.primaryKeyPosition == 1)
            primaryKey.assign(column.name.c_str());
    }
    for (const ado::ColumnInfo& column : columns)
    {
        uString line(column.name.c_str());
        line += "\t";
        line += getTypeName(column.dataType, column.maxLength);
        if (column.maxLength > 0)
            line += ("(" + std::to_string(column.maxLength) + ")").c_str();
        line += column.nullable ? "\tYES" : "\tNO";
        if (!primaryKey.isEmpty() && primaryKey.equalsNoCase(column.name.c_str()))
            line += "\tPRI";
        else if (isForeignKeyColumn(table, column.name.c_str()))
            line += "\tMUL";
        else
            line += "\t   ";
        if (column.hasDefault)
            line += ("\t" + column.defaultValue).c_str();
        else
            line += "\tNULL";
        if (column.autoIncrement)
            line += "\tAUTOINCREMENT";
        lines.push_back(line);
    }
    return true;
}

char** uActiveXDataObject::describeTable(const char* table)
{
    std::list<uString> lines;
    if (!describeColumns(table, lines) || lines.empty())
        return nullptr;
    char** entries = static_cast<char**>(std::calloc(lines.size() + 1, sizeof(char*)));
    if (!entries)
        return nullptr;
    std::size_t i = 0;
    for (const uString& line : lines)
        entries[i++] = line.duplicate();
    return entries;
}

void uActiveXDataObject::printTableSchema(const char* table, const char* lineEnd)
{
    std::list<uString> lines;
    if (!describeColumns(table, lines))
        return;
    int row = 0;
    for (const uString& line : lines)
        std::printf("%d.%s%s", row++, line.c_str(), lineEnd ? lineEnd : "");
    std::fflush(stdout);
}

// ---- tables --------------------------------------------------------------

bool uActiveXDataObject::copyTable(const char* newTable, const char* templateTable)
{
    if (!newTable || !templateTable || !ensureConnected())
        return false;
    if (!ado::copyTable(m_connection, newTable, dbsupport::bareTableName(templateTable)))
    {
        m_lastEngineError = m_connection.lastError();
        m_message = formatEngineError(m_lastEngineError);
        return false;
    }
    return true;
}

bool uActiveXDataObject::createTable(const char* newTable, const char* templateTable)
{
    // The template's own definition is copied, so a key over several columns
    // arrives whole (a column-by-column copy would split it into single keys).
    m_errorCode = kNoError;
    if (copyTable(newTable, templateTable))
        return true;
    if (m_errorCode == kNoError && newTable && templateTable)
        m_errorCode = kQueryFailed;
    return false;
}

bool uActiveXDataObject::deleteTable(const char* table)
{
    m_errorCode = kNoError;
    if (!table)
        return false;
    const std::string sql = "drop table " + dbsupport::text(table);
    return execute(sql.c_str());
}

// ---- misc ------------------------------------------------------------------

bool uActiveXDataObject::md5(const char* text, char* hexOut)
{
    m_errorCode = kNoError;
    if (hexOut)
        hexOut[0] = '\0';
    if (!text || !hexOut)
        return false;
    uMD5 digest(0);
    digest.hashString(text);
    uString hex;
    if (!digest.getHexDigest(hex))
        return false;
    std::memcpy(hexOut, hex.c_str(), static_cast<std::size_t>(hex.getLength()) + 1);
    return true;
}

bool uActiveXDataObject::getServerDate(char* out)
{
    if (out)
        out[0] = '\0';
    ado::Recordset rows;
    if (!out || !beginStatement())
        return false;
    if (!m_connection.query("select date()", rows))
    {
        failStatement();
        return false;
    }
    const ado::Value* value = firstValue(rows);
    if (!value)
        return false;
    const std::string date = value->toText();
    std::memcpy(out, date.c_str(), date.size() + 1);
    // Callers have always judged the buffer, never the result: false even
    // when the date was read.
    return false;
}

uString uActiveXDataObject::getTypeName(int type, int size)
{
    switch (type)
    {
    case 0:
        return uString("");
    case 2:
        return uString("SMALLINT");
    case 3:
        return uString("INT");
    case 4:
        return uString("FLOAT");
    case 5:
        return uString("DOUBLE");
    case 6:
        return uString("CURRENCY");
    case 7:
    case 133:
        return uString("DATE");
    case 8:
    case 128:
    case 204:
        return uString("BLOB");
    case 9:
        return uString("IDispatch");
    case 10:
        return uString("ERROR");
    case 11:
        return uString("BOOLEAN");
    case 12:
        return uString("Variant");
    case 13:
        return uString("IUnknown");
    case 14:
        return uString("DECIMAL");
    case 16:
        return uString("TINYINT");
    case 17:
        return uString("UnsignedTinyInt");
    case 18:
        return uString("UnsignedSmallInt");
    case 19:
        return uString("UnsignedInt");
    case 20:
        return uString("BIGINT");
    case 21:
        return uString("UnsignedBigInt");
    case 72:
        return uString("GUID");
    case 129:
    case 130:
        return uString(size > 0 ? "CHAR" : "TEXT");
    case 131:
        return uString("NUMERIC");
    case 132:
        return uString("UserDefined");
    case 134:
        return uString("DBTime");
    case 135:
        return uString("TIMESTAMP");
    case 200:
        return uString("VARCHAR");
    case 201:
        return uString("LONGVARCHAR");
    case 202:
        return uString("TEXT");
    case 203:
        return uString("LONGTEXT");
    case 205:
        return uString("LONGBLOB");
    default:
        return uString("UNDEF");
    }
}

bool uActiveXDataObject::parseInsertTable(const char* statement, uString& table)
{
    // Views, not copies: this runs after every statement, and a stored item's
    // statement runs to kilobytes.
    table.setEmpty();
    std::string_view rest = dbsupport::trimmed(statement ? statement : "");
    if (!StartsWithNoCase(rest, "insert"))
        return false;
    rest = dbsupport::trimmed(rest.substr(6));
    if (!StartsWithNoCase(rest, "into"))
        return false;
    rest = dbsupport::trimmed(rest.substr(4));
    table.assign(std::string(rest.substr(0, rest.find_first_of(" \t\r\n"))).c_str());
    return true;
}
