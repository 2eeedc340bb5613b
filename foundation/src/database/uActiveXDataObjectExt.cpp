#include "foundation/uActiveXDataObjectExt.h"

#include "DatabaseSupport.h"
#include "ado/Catalog.h"

#include <cstdio>

namespace
{

void reportFailure(const char* operation)
{
    std::printf("Error occured in uActiveXDataObjectExt::%s....\n", operation);
    std::fflush(stdout);
}

} // namespace

bool uActiveXDataObjectExt::createDatabase(const char* connectionString)
{
    ado::Error error;
    if (!connectionString || !ado::createDatabase(connectionString, error))
    {
        reportFailure("createDatabase");
        return false;
    }
    return true;
}

bool uActiveXDataObjectExt::compactDatabase(const char* sourceConnection, const char* destinationConnection)
{
    ado::Error error;
    return sourceConnection && destinationConnection &&
           ado::compactDatabase(sourceConnection, destinationConnection, error);
}

bool uActiveXDataObjectExt::compactInPlace(const char* connectionString, double minFreeRatio)
{
    ado::Error error;
    return connectionString && ado::compactInPlace(connectionString, minFreeRatio, error);
}

bool uActiveXDataObjectExt::removeDatabaseFiles(const char* path)
{
    return path && *path && ado::removeDatabaseFiles(path);
}

bool uActiveXDataObjectExt::createTable(const char* newTable, const char* templateTable)
{
    // The template's own definition is copied: a key over several columns arrives whole, or nothing does.
    return copyTable(newTable, templateTable);
}

bool uActiveXDataObjectExt::deleteTable(const char* table)
{
    if (!tableExists(table) || !ensureConnected())
        return false;
    if (!ado::dropTable(m_connection, dbsupport::bareTableName(table)))
    {
        m_lastEngineError = m_connection.lastError();
        m_message = formatEngineError(m_lastEngineError);
        return false;
    }
    return true;
}
