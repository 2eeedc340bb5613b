#include "foundation/uDatabaseObject.h"

#include "foundation/uActiveXDataObject.h"

#include <new>

namespace
{

constexpr const char* kErrorTexts[] = {"",
                                       "Not Connected",
                                       "Out of memory",
                                       "DB query failed",
                                       "Not a boolean",
                                       "Unknown method",
                                       "Incorrect Content Type",
                                       "NULL Query String",
                                       "Bad Content Length",
                                       "Content Length Discrepancy",
                                       "Can not open file",
                                       "Can not use named database",
                                       "Can not roll back transaction",
                                       "Can not commit transaction",
                                       "Can not create name table using template",
                                       "Can not delete named table",
                                       "Unknown database object",
                                       "Can not initialize database object"};

constexpr int kErrorTextCount = static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]);

} // namespace

uDatabaseObject::uDatabaseObject() = default;

uDatabaseObject::uDatabaseObject(int engineType)
{
    createEngine(engineType);
}

uDatabaseObject::~uDatabaseObject()
{
    delete m_engine;
}

bool uDatabaseObject::createEngine(int type)
{
    delete m_engine;
    m_engine = nullptr;
    m_errorCode = kNoError;
    if (type == kEngineActiveXDataObject)
    {
        m_engine = new (std::nothrow) uActiveXDataObject();
        if (!m_engine)
            m_errorCode = kCannotInitialize;
    }
    else
    {
        m_errorCode = kUnknownDatabaseObject;
    }
    return m_engine != nullptr;
}

bool uDatabaseObject::hasEngine()
{
    if (m_engine)
        return true;
    m_errorCode = kCannotInitialize;
    return false;
}

bool uDatabaseObject::open(const char* connectionString, const char* databaseName, const char* user,
                           const char* password)
{
    return hasEngine() && m_engine->open(connectionString, databaseName, user, password);
}

bool uDatabaseObject::connect()
{
    return hasEngine() && m_engine->connect();
}

void uDatabaseObject::close()
{
    if (hasEngine())
        m_engine->close();
}

bool uDatabaseObject::isOK()
{
    return m_errorCode == kNoError;
}

bool uDatabaseObject::isConnected()
{
    return m_connected;
}

bool uDatabaseObject::execute(const char* statement)
{
    return hasEngine() && m_engine->execute(statement);
}

int uDatabaseObject::executeCount(const char* statement)
{
    return hasEngine() ? m_engine->executeCount(statement) : 0;
}

int uDatabaseObject::executeInsert(const char* statement)
{
    return hasEngine() ? m_engine->executeInsert(statement) : 0;
}

int uDatabaseObject::getLastInsertId()
{
    return hasEngine() ? m_engine->getLastInsertId() : 0;
}

bool uDatabaseObject::columnExists(const char* table, const char* column)
{
    return hasEngine() && m_engine->columnExists(table, column);
}

bool uDatabaseObject::updateString(const char* table, const char* column, const char* value,
                                   const char* condition)
{
    return hasEngine() && m_engine->updateString(table, column, value, condition);
}

bool uDatabaseObject::updateInt(const char* table, const char* column, int value, const char* condition)
{
    return hasEngine() && m_engine->updateInt(table, column, value, condition);
}

bool uDatabaseObject::selectString(const char* table, const char* column, uString& out, const char* condition)
{
    return hasEngine() && m_engine->selectString(table, column, out, condition);
}

bool uDatabaseObject::selectChars(const char* table, const char* column, char* out, const char* condition)
{
    return hasEngine() && m_engine->selectChars(table, column, out, condition);
}

bool uDatabaseObject::selectInt(const char* table, const char* column, int* out, const char* condition)
{
    return hasEngine() && m_engine->selectInt(table, column, out, condition);
}

bool uDatabaseObject::deleteRows(const char* table, const char* condition)
{
    return hasEngine() && m_engine->deleteRows(table, condition);
}

int uDatabaseObject::count(const char* table, const char* column, const char* condition)
{
    return hasEngine() ? m_engine->count(table, column, condition) : 0;
}

bool uDatabaseObject::selectCharsAt(const char* table, const char* column, char* out, int row,
                                    const char* condition)
{
    return hasEngine() && m_engine->selectCharsAt(table, column, out, row, condition);
}

bool uDatabaseObject::selectIntAt(const char* table, const char* column, int* out, int row,
                                  const char* condition)
{
    return hasEngine() && m_engine->selectIntAt(table, column, out, row, condition);
}

char* uDatabaseObject::getString(const char* table, const char* column, const char* condition)
{
    return hasEngine() ? m_engine->getString(table, column, condition) : nullptr;
}

int uDatabaseObject::getInt(const char* table, const char* column, const char* condition)
{
    return hasEngine() ? m_engine->getInt(table, column, condition) : 0;
}

int* uDatabaseObject::selectIntArray(const char* table, const char* column, const char* condition,
                                     const char* tail)
{
    return hasEngine() ? m_engine->selectIntArray(table, column, condition, tail) : nullptr;
}

bool uDatabaseObject::selectIntList(const char* table, const char* column, std::list<int>& out,
                                    const char* condition, const char* tail)
{
    return hasEngine() && m_engine->selectIntList(table, column, out, condition, tail);
}

bool uDatabaseObject::selectStringList(const char* table, const char* column, std::list<uString>& out,
                                       const char* condition, const char* tail)
{
    return hasEngine() && m_engine->selectStringList(table, column, out, condition, tail);
}

bool uDatabaseObject::tableExists(const char* table)
{
    return hasEngine() && m_engine->tableExists(table);
}

void uDatabaseObject::printTableSchema(const char* table, const char* lineEnd)
{
    if (hasEngine())
        m_engine->printTableSchema(table, lineEnd);
}

bool uDatabaseObject::createTable(const char* newTable, const char* templateTable)
{
    return hasEngine() && m_engine->createTable(newTable, templateTable);
}

bool uDatabaseObject::deleteTable(const char* table)
{
    return hasEngine() && m_engine->deleteTable(table);
}

char** uDatabaseObject::describeTable(const char* table)
{
    return hasEngine() ? m_engine->describeTable(table) : nullptr;
}

bool uDatabaseObject::selectDatabase(const char* name)
{
    return hasEngine() && m_engine->selectDatabase(name);
}

bool uDatabaseObject::md5(const char* text, char* hexOut)
{
    return hasEngine() && m_engine->md5(text, hexOut);
}

bool uDatabaseObject::getServerDate(char* out)
{
    return hasEngine() && m_engine->getServerDate(out);
}

int uDatabaseObject::getErrorCode()
{
    return m_errorCode;
}

uString& uDatabaseObject::getErrorText()
{
    const bool known = m_errorCode >= 0 && m_errorCode < kErrorTextCount;
    m_message.assign(known ? kErrorTexts[m_errorCode] : "");
    return m_message;
}
