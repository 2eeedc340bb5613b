#include "AdoTestSupport.h"

#include <cstdio>

namespace adotest
{

std::string hexLiteral(const std::u16string& text)
{
    if (text.empty())
        return "''";
    std::string literal = "0x";
    for (const char16_t unit : text)
    {
        char digits[5];
        std::snprintf(digits, sizeof digits, "%02X%02X", unit & 0xFF, unit >> 8);
        literal += digits;
    }
    return literal;
}

void createDatabaseWith(const std::string& path, std::initializer_list<const char*> statements,
                        const std::string& password)
{
    ado::Error error;
    ASSERT_TRUE(ado::createDatabase(connectionString(path, password), error)) << error.description;
    ado::Connection connection;
    ASSERT_TRUE(connection.open(connectionString(path, password))) << connection.lastError().description;
    for (const char* statement : statements)
        ASSERT_TRUE(connection.execute(statement, ado::Dialect::Native))
            << statement << ": " << connection.lastError().description;
}

void openNewDatabase(ado::Connection& connection, const std::string& path,
                     std::initializer_list<const char*> statements)
{
    ASSERT_NO_FATAL_FAILURE(createDatabaseWith(path, statements));
    ASSERT_TRUE(connection.open(connectionString(path))) << connection.lastError().description;
}

std::string scalar(ado::Connection& connection, const std::string& sql)
{
    ado::Recordset rows;
    if (!connection.query(sql, rows))
        return "<error> " + connection.lastError().description;
    const ado::Value* value = rows.field(0);
    return value ? value->toText() : "<no row>";
}

} // namespace adotest
