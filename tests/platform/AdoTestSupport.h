#pragma once

#include "ado/Catalog.h"
#include "ado/Connection.h"

#include <gtest/gtest.h>
#include <string>

namespace adotest
{

inline std::string connectionString(const std::string& path, const std::string& password = "vurtel")
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
           ";Jet OLEDB:Database Password=" + password + ";";
}

// The program's text literal: 0x and the UTF-16LE code units in hex.
std::string hexLiteral(const std::u16string& text);

// A new database file with the given statements run in it.
void createDatabaseWith(const std::string& path, std::initializer_list<const char*> statements,
                        const std::string& password = "vurtel");

// The same, then opened by `connection`.
void openNewDatabase(ado::Connection& connection, const std::string& path,
                     std::initializer_list<const char*> statements);

// The first field of the first row, as text ("<error>" when the query fails).
std::string scalar(ado::Connection& connection, const std::string& sql);

} // namespace adotest
