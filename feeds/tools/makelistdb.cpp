// Builds the empty list database from its schema file, through the same
// database layer and connection string the program uses, so the file carries
// the program's password and journal mode:
//
//     makelistdb <schema.sql> <output.mdb>
//
// A statement ends with ";" at the end of a line; a line starting with "--"
// is a comment. The output appears whole or not at all.
#include "feeds/FeedStore.h"
#include "foundation/uFile.h"

#include <cstdio>
#include <list>
#include <string>

namespace
{

bool ReadStatements(const char* path, std::list<uString>& statements)
{
    uFile file(path);
    uString text;
    if (!file.open() || !file.readAll(text))
        return false;
    uString statement;
    int start = 0;
    while (start < text.getLength())
    {
        int end = text.findChar('\n', start);
        if (end < 0)
            end = text.getLength();
        uString line(text, start, end - start);
        start = end + 1;
        line.trim();
        if (line.isEmpty() || line.startsWith("--"))
            continue;
        if (!statement.isEmpty())
            statement += " ";
        statement += line;
        if (line.endsWith(";"))
        {
            statement.truncate(statement.getLength() - 1);
            statements.push_back(statement);
            statement.setEmpty();
        }
    }
    if (!statement.isEmpty())
        statements.push_back(statement);
    return true;
}

bool Build(const std::list<uString>& statements, const CConnectionString& connection, const uString& name)
{
    if (!uActiveXDataObjectExt::createDatabase(connection.c_str()))
        return false;
    uActiveXDataObjectExt database;
    if (!database.open(connection.c_str(), name.c_str(), "", ""))
    {
        std::fprintf(stderr, "%s\n", database.getErrorText().c_str());
        return false;
    }
    for (const uString& statement : statements)
    {
        if (!database.execute(statement.c_str()))
        {
            std::fprintf(stderr, "%s\n%s\n", statement.c_str(), database.getErrorText().c_str());
            return false;
        }
    }
    // The template is copied as a file: everything must be in it, not in its
    // write-ahead log.
    if (!database.execute("PRAGMA wal_checkpoint(TRUNCATE)"))
    {
        std::fprintf(stderr, "%s\n", database.getErrorText().c_str());
        return false;
    }
    database.close();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: makelistdb <schema.sql> <output.mdb>\n");
        return 2;
    }
    std::list<uString> statements;
    if (!ReadStatements(argv[1], statements) || statements.empty())
    {
        std::fprintf(stderr, "makelistdb: cannot read statements from %s\n", argv[1]);
        return 1;
    }

    const uFile output(argv[2]);
    uString folder;
    output.getDirectory(folder);
    const uString temporaryName = uString(output.getFileName()) + ".new";
    const CConnectionString temporary(folder, temporaryName);
    uActiveXDataObjectExt::removeDatabaseFiles(temporary.GetPath().c_str());
    if (!Build(statements, temporary, temporaryName))
    {
        uActiveXDataObjectExt::removeDatabaseFiles(temporary.GetPath().c_str());
        std::fprintf(stderr, "makelistdb: cannot build %s\n", argv[2]);
        return 1;
    }
    // Empty after the checkpoint: the template goes without companions.
    std::remove((std::string(temporary.GetPath().c_str()) + "-wal").c_str());
    std::remove((std::string(temporary.GetPath().c_str()) + "-shm").c_str());
    uActiveXDataObjectExt::removeDatabaseFiles(output.getPath().c_str());
    if (std::rename(temporary.GetPath().c_str(), output.getPath().c_str()) != 0)
    {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
