#pragma once

#include "ado/Connection.h"
#include "ado/Recordset.h"
#include "foundation/uDatabaseObject.h"
#include "foundation/uThread.h"

// One connection to a list database through the database stand-in
// (platform/ado, SQLite underneath), speaking the Jet SQL the program writes.
//
// Every statement operation connects first when the object is not connected,
// with the parameters stored by open: this is how a closed object reopens.
// Error codes: 0 at the start of each operation that talks to the database
// (not moveNext, getFieldString or closeQuery); 1 connect failed; 2 empty
// connection string or no connection could be made; 3 a statement or read
// failed. The message holds the formatted engine error of the last failure
// ("Code = %08lx\nCode meaning = %s\nSource = %s\nDescription = %s") and is
// returned as it stands by getErrorText. Nothing is printed, except by
// printTableSchema.
class uActiveXDataObject : public uDatabaseObject
{
public:
    uActiveXDataObject();
    // Opens at once; the connected flag tells whether that worked.
    uActiveXDataObject(const char* connectionString, const char* databaseName, const char* user,
                       const char* password);
    ~uActiveXDataObject() override;

    // Connection.
    bool open(const char* connectionString, const char* databaseName, const char* user,
              const char* password) override;
    bool connect() override;
    void close() override;
    bool isOK() override;
    bool isConnected() override;
    // False, changing nothing, when the name is the stored one.
    bool selectDatabase(const char* name) override;

    // Statements. executeCount gives the number of rows a statement returns
    // (0 for one without rows); updateInt writes the value quoted ('%d').
    bool execute(const char* statement) override;
    int executeCount(const char* statement) override;
    int executeInsert(const char* statement) override;
    int getLastInsertId() override;
    bool updateString(const char* table, const char* column, const char* value,
                      const char* condition) override;
    bool updateInt(const char* table, const char* column, int value, const char* condition) override;

    // The select family: "select <column> from <table>[ where <condition>][ <tail>]".
    // selectString: true for text or NULL (out empty), false for another type
    // and, with code 3, when there is no row.
    bool selectString(const char* table, const char* column, uString& out, const char* condition) override;
    bool selectChars(const char* table, const char* column, char* out, const char* condition) override;
    bool selectInt(const char* table, const char* column, int* out, const char* condition) override;
    bool deleteRows(const char* table, const char* condition) override;
    int count(const char* table, const char* column, const char* condition) override;
    bool selectCharsAt(const char* table, const char* column, char* out, int row,
                       const char* condition) override;
    bool selectIntAt(const char* table, const char* column, int* out, int row,
                     const char* condition) override;
    char* getString(const char* table, const char* column, const char* condition) override;
    int getInt(const char* table, const char* column, const char* condition) override;
    // Zero-filled array of twice the row count holding the rows' values: the
    // zeros after the last value end it (a value of 0 cannot be told from the end).
    int* selectIntArray(const char* table, const char* column, const char* condition,
                        const char* tail) override;
    bool selectIntList(const char* table, const char* column, std::list<int>& out, const char* condition,
                       const char* tail) override;
    // One entry per row; a value that is not text gives the empty text.
    bool selectStringList(const char* table, const char* column, std::list<uString>& out,
                          const char* condition, const char* tail) override;

    // Schema. tableExists neither sets nor clears the error code.
    bool columnExists(const char* table, const char* column) override;
    bool tableExists(const char* table) override;
    void printTableSchema(const char* table, const char* lineEnd) override;
    char** describeTable(const char* table) override;
    bool createTable(const char* newTable, const char* templateTable) override;
    bool deleteTable(const char* table) override;

    // Lower-case hex MD5 of the text's bytes (33 bytes with the NUL).
    bool md5(const char* text, char* hexOut) override;
    // The local date as YYYY-MM-DD into `out`, empty when it cannot be read.
    // Always false: callers look at the buffer.
    bool getServerDate(char* out) override;

    int getErrorCode() override;
    uString& getErrorText() override;

    // Rows: query, then per row getFieldString and moveNext, then closeQuery.
    bool query(const char* statement);
    bool moveNext();
    // NULL reads as the empty text; numbers as decimal text ('.' for reals).
    bool getFieldString(int ordinal, uString& out);
    void closeQuery();

    // The last failure was an insert refused by a unique or primary key (a
    // known item), not a locked or broken database.
    bool isDuplicateKey() const;
    // SQLite's extended result code of the last engine failure, 0 when none.
    int getEngineCode() const;
    // The last failure was the wait for a list another connection writes
    // running out; how long a statement waits for that (30 s unless set).
    bool isBusy() const;
    void setBusyTimeout(int milliseconds);

    static uString quote(const char* text);
    static uString formatEngineError(const ado::Error& error);
    static uString getTypeName(int type, int size);
    // The table of an INSERT INTO statement, as written (up to the first blank).
    static bool parseInsertTable(const char* statement, uString& table);
    bool getAutoIncrementColumn(const char* table, uString& column);
    bool getPrimaryKey(const char* table, uString& columns);
    bool getForeignKey(const char* table, int n, uString& column, uString& referencedTable,
                       uString& referencedColumn, uString& updateRule, uString& deleteRule);
    bool isForeignKeyColumn(const char* table, const char* column);

protected:
    // Start of every statement operation: code 0, rows of a query closed,
    // connected when possible.
    bool beginStatement();
    // Connects with the stored parameters when not connected.
    bool ensureConnected();
    // Code 3 and the formatted engine error.
    void failStatement(const ado::Error& error);
    // Code 3 for the engine's last error.
    void failStatement();
    void recordInsertTable(const char* statement);
    // Runs one SELECT of the select family into `rows`.
    bool selectRows(const char* table, const char* column, const char* condition, const char* tail,
                    ado::Recordset& rows);
    // The first field of the first row, or null with code 3 when there is no row.
    const ado::Value* firstValue(const ado::Recordset& rows);
    // Creates a table as a copy of another; reports through the message only.
    bool copyTable(const char* newTable, const char* templateTable);
    bool describeColumns(const char* table, std::list<uString>& lines);

    ado::Connection m_connection;
    ado::Recordset m_recordset;
    uString m_lastInsertTable;
    uString m_schemaName; // nothing sets it; kept for callers that read it
    ado::Error m_lastEngineError;
    uComInit m_comGuard; // nothing to initialise on this platform; keeps the owners' shape
};
