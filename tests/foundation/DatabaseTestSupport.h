#pragma once

#include "foundation/uActiveXDataObjectExt.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace dbtest
{

inline std::string connectionString(const std::string& path, const std::string& password = "vurtel")
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
           ";Jet OLEDB:Database Password=" + password + ";";
}

// A new database with the given statements run in it.
inline void createDatabase(const std::string& path, std::initializer_list<const char*> statements,
                           const std::string& password = "vurtel")
{
    ASSERT_TRUE(uActiveXDataObjectExt::createDatabase(connectionString(path, password).c_str()));
    uActiveXDataObjectExt db;
    ASSERT_TRUE(db.open(connectionString(path, password).c_str(), "list.mdb", "", ""));
    for (const char* statement : statements)
        ASSERT_TRUE(db.execute(statement)) << statement << "\n" << db.getErrorText().c_str();
}

// Text of a uString including any NUL bytes.
inline std::string bytes(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

} // namespace dbtest
