#pragma once

// A folder of list databases copied from the template the build makes, and
// statements that fill one as a refresh would.
#include "feeds/FeedStore.h"
#include "feeds/support/FeedTestSupport.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace liststore
{

using feedtest::S;
using feedtest::U;

inline const char* TemplatePath()
{
    return KESTROVA_LIST_TEMPLATE;
}

class ListFolder
{
public:
    ListFolder() { AddList("default.mdb"); }
    // A fresh copy of the template under this name.
    void AddList(const std::string& name) { std::filesystem::copy_file(TemplatePath(), m_dir.file(name)); }
    const uString& Folder() const { return m_folder; }
    std::string Path(const std::string& name = "default.mdb") const { return m_dir.file(name); }

private:
    testsupport::TempDir m_dir;
    uString m_folder{m_dir.path().c_str()};
};

inline void Execute(CFeedStore& store, const uString& sql)
{
    store.EnsureOpen(false);
    ASSERT_TRUE(store.dataObject.execute(sql.c_str())) << sql.c_str() << "\n"
                                                       << store.dataObject.getErrorText().c_str();
}

// The first field of the first row as text; "<none>" without a row.
inline std::string Scalar(CFeedStore& store, const uString& sql)
{
    store.EnsureOpen(false);
    if (!store.dataObject.query(sql.c_str()))
        return "<error> " + S(store.dataObject.getErrorText());
    uString value;
    const bool found = store.dataObject.getFieldString(0, value);
    store.dataObject.closeQuery();
    return found ? S(value) : "<none>";
}

inline uString Hex(const uString& text)
{
    return SqlHexLiteral(text);
}

inline void InsertChannel(CFeedStore& store, const uString& feed, const uString& title, int ttl,
                          int attributes)
{
    uString sql;
    sql.format("INSERT INTO channel (feed, title, ttl, attributes) VALUES(%s, %s, %d, %d)", Hex(feed).c_str(),
               Hex(title).c_str(), ttl, attributes);
    Execute(store, sql);
}

inline void InsertItem(CFeedStore& store, const uString& feed, const uString& link, const uString& title,
                       int attributes = 0)
{
    uString sql;
    sql.format("insert into item (feed, title, link, description, pubdate, author, attributes, createdate) "
               "values(%s,%s,%s,%s,%s,%s,%d, Date())",
               Hex(feed).c_str(), Hex(title).c_str(), Hex(link).c_str(), Hex("<p>It's</p>").c_str(),
               Hex("2026-01-05 10:00:00").c_str(), Hex("Zoë").c_str(), attributes);
    Execute(store, sql);
}

inline void InsertEnclosure(CFeedStore& store, const uString& itemLink, const uString& link,
                            const uString& type)
{
    uString sql;
    sql.format("INSERT INTO enclosure (feed, link, length, type ) VALUES(%s, %s, 1234, %s)",
               Hex(itemLink).c_str(), Hex(link).c_str(), Hex(type).c_str());
    Execute(store, sql);
    sql.format("UPDATE item set enclosure=true where link=%s", Hex(itemLink).c_str());
    Execute(store, sql);
}

inline void InsertImageAndIcon(CFeedStore& store, const uString& feed)
{
    uString sql;
    sql.format("INSERT INTO [image] (feed, link, url, width, height ) VALUES(%s, %s, %s, 88, 31)",
               Hex(feed).c_str(), Hex("http://site.test/").c_str(), Hex("http://site.test/logo.png").c_str());
    Execute(store, sql);
    sql.format("INSERT INTO icon (feed, link, localfile ) VALUES(%s, %s, %s)", Hex(feed).c_str(),
               Hex("http://site.test/favicon.ico").c_str(), Hex("0a1b.ico").c_str());
    Execute(store, sql);
    sql.format("UPDATE channel set [image]=true, icon=true where feed=%s", Hex(feed).c_str());
    Execute(store, sql);
}

// Rows of a table whose column equals the text.
inline std::string CountWhere(CFeedStore& store, const char* table, const char* column, const uString& value)
{
    uString sql;
    sql.format("select count(*) from %s where %s = %s", table, column, Hex(value).c_str());
    return Scalar(store, sql);
}

} // namespace liststore
