#pragma once

#include <string>
#include <string_view>

namespace ado
{

// The parts of a Jet OLE DB connection string this layer understands, e.g.
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/path/list.mdb;Jet OLEDB:Database Password=pw;".
// Keys are compared without regard to case; a value may be quoted with " or '
// (a doubled quote inside stands for one); unknown keys and the provider's
// value are accepted and ignored. Data Source is a native path.
struct ConnectionString
{
    std::string provider;
    std::string dataSource;
    std::string password;
    bool hasDataSource = false;

    static ConnectionString parse(std::string_view text);
};

} // namespace ado
