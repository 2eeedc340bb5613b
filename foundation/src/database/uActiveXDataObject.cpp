#include "foundation/uActiveXDataObject.h"

#include "DatabaseSupport.h"

#include <climits>

uActiveXDataObject::uActiveXDataObject() = default;

uActiveXDataObject::uActiveXDataObject(const char* connectionString, const char* databaseName,
                                       const char* user, const char* password)
{
    m_connected = open(connectionString, databaseName, user, password);
}

uActiveXDataObject::~uActiveXDataObject()
{
    close();
}

// ---- connection ----------------------------------------------------------

bool uActiveXDataObject::open(const char* connectionString, const char* databaseName, const char* user,
                              const char* password)
{
    m_errorCode = kNoError;
    m_connectionString.assign(connectionString);
    m_databaseName.assign(databaseName);
    if (user)
        m_user.assign(user);
    if (password)
        m_password.assign(password);
    if (m_connectionString.isEmpty())
    {
        m_errorCode = kOutOfMemory; // code 2: nothing to connect to
        return false;
    }
    return connect();
}

bool uActiveXDataObject::connect()
{
    m_errorCode = kNoError;
    close();
    // The user and password of open are the workgroup's, which this engine does
    // not have; the database password travels in the connection string.
    if (!m_connection.open(m_connectionString.c_str()))
    {
        m_lastEngineError = m_connection.lastError();
        if (m_lastEngineError.code == ado::kOutOfMemory && m_lastEngineError.engineCode == 0)
        {
            m_message.assign("Can not create connection object");
            m_errorCode = kOutOfMemory;
            return false;
        }
        m_message = uString("Can not open connection:\n") + formatEngineError(m_lastEngineError);
        close();
        m_errorCode = kNotConnected;
        return false;
    }
    m_lastEngineError.clear();
    m_errorCode = kNoError;
    m_connected = true;
    return true;
}

void uActiveXDataObject::close()
{
    m_recordset.close();
    m_connection.close();
    m_connected = false;
    m_errorCode = kNoError;
}

bool uActiveXDataObject::isOK()
{
    return m_errorCode == kNoError;
}

bool uActiveXDataObject::isConnected()
{
    return m_connected;
}

bool uActiveXDataObject::selectDatabase(const char* name)
{
    m_errorCode = kNoError;
    if (!m_databaseName.isEmpty() && m_databaseName.equals(name ? name : ""))
        return false;
    m_databaseName.assign(name);
    if (m_connected)
        close();
    m_connected = connect();
    return m_connected;
}

int uActiveXDataObject::getErrorCode()
{
    return m_errorCode;
}

uString& uActiveXDataObject::getErrorText()
{
    return m_message;
}

bool uActiveXDataObject::isDuplicateKey() const
{
    return m_lastEngineError.isDuplicateKey();
}

int uActiveXDataObject::getEngineCode() const
{
    return m_lastEngineError.engineCode;
}

bool uActiveXDataObject::isBusy() const
{
    return m_lastEngineError.isBusy();
}

void uActiveXDataObject::setBusyTimeout(int milliseconds)
{
    m_connection.setBusyTimeout(milliseconds);
}

uString uActiveXDataObject::formatEngineError(const ado::Error& error)
{
    return uString(ado::formatError(error).c_str());
}

// ---- statement pattern -----------------------------------------------------

bool uActiveXDataObject::beginStatement()
{
    m_errorCode = kNoError;
    m_lastEngineError.clear();
    m_recordset.close(); // no rows stay open across statements
    return ensureConnected();
}

bool uActiveXDataObject::ensureConnected()
{
    if (!m_connected)
        connect();
    return m_connected;
}

void uActiveXDataObject::failStatement(const ado::Error& error)
{
    m_lastEngineError = error;
    m_message = formatEngineError(error);
    m_errorCode = kQueryFailed;
}

void uActiveXDataObject::failStatement()
{
    failStatement(m_connection.lastError());
}

void uActiveXDataObject::recordInsertTable(const char* statement)
{
    uString table;
    if (parseInsertTable(statement, table))
        m_lastInsertTable = table;
}

bool uActiveXDataObject::execute(const char* statement)
{
    if (!statement)
    {
        m_errorCode = kNoError;
        return false;
    }
    if (!beginStatement())
        return false;
    if (!m_connection.execute(statement))
    {
        failStatement();
        return false;
    }
    recordInsertTable(statement);
    return true;
}

int uActiveXDataObject::executeCount(const char* statement)
{
    if (!statement)
    {
        m_errorCode = kNoError;
        return 0;
    }
    if (!beginStatement())
        return 0;
    std::int64_t rows = 0;
    if (!m_connection.count(statement, rows))
    {
        failStatement();
        return 0;
    }
    recordInsertTable(statement);
    return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}

int uActiveXDataObject::executeInsert(const char* statement)
{
    if (!execute(statement))
        return 0;
    uString table;
    return parseInsertTable(statement, table) ? getLastInsertId() : 0;
}

uString uActiveXDataObject::quote(const char* text)
{
    uString quoted;
    for (const char* p = text ? text : ""; *p; ++p)
    {
        quoted.append(*p);
        if (*p == '\'')
            quoted.append('\'');
    }
    return quoted;
}

bool uActiveXDataObject::updateString(const char* table, const char* column, const char* value,
                                      const char* condition)
{
    if (!table || !column || !value)
    {
        m_errorCode = kNoError;
        return false;
    }
    // Single quotes around the value, so that doubling them is the right escape.
    const std::string sql = std::string("update ") + table + " set " + column + "='" + quote(value).c_str() +
                            "'" + dbsupport::whereClause(condition);
    return execute(sql.c_str());
}

bool uActiveXDataObject::updateInt(const char* table, const char* column, int value, const char* condition)
{
    if (!table || !column)
    {
        m_errorCode = kNoError;
        return false;
    }
    const std::string sql = std::string("update ") + table + " set " + column + "='" + std::to_string(value) +
                            "'" + dbsupport::whereClause(condition);
    return execute(sql.c_str());
}

// ---- rows ----------------------------------------------------------------

bool uActiveXDataObject::query(const char* statement)
{
    m_errorCode = kNoError;
    if (!statement || !beginStatement())
        return false;
    if (!m_connection.query(statement, m_recordset))
    {
        failStatement();
        return false;
    }
    recordInsertTable(statement);
    return true;
}

bool uActiveXDataObject::moveNext()
{
    if (!m_recordset.isOpen() || m_recordset.eof() || m_recordset.bof())
        return false;
    m_recordset.moveNext();
    return !m_recordset.eof() && !m_recordset.bof();
}

bool uActiveXDataObject::getFieldString(int ordinal, uString& out)
{
    out.setEmpty();
    if (!m_recordset.isOpen() || m_recordset.eof() || m_recordset.bof())
        return false;
    const ado::Value* value = ordinal < 0 ? nullptr : m_recordset.field(static_cast<std::size_t>(ordinal));
    if (!value)
    {
        failStatement(ado::Error::layer(ado::kItemNotFound,
                                        "Item cannot be found in the collection corresponding "
                                        "to the requested name or ordinal."));
        return false;
    }
    dbsupport::assignBytes(out, value->toText());
    return true;
}

void uActiveXDataObject::closeQuery()
{
    m_recordset.close();
}
