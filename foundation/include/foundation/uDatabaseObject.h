#pragma once

#include "foundation/uString.h"

#include <list>

// The database object interface: connection parameters, the last error (a
// code and a text) and the operations a database engine implements.
//
// Constructed with an engine type, the object is a front: it owns an engine of
// that type and forwards every operation to it. A front without an engine
// answers every operation with error code 17 and a neutral result; forwarded
// operations leave the engine's own code and text on the engine.
//
// Texts are NUL-terminated UTF-8. Buffers and arrays handed to the caller
// (getString, selectIntArray, describeTable and its entries) come from malloc:
// release them with free(). One object is used by one thread at a time.
class uDatabaseObject
{
public:
    // Engine types for createEngine.
    static constexpr int kEngineActiveXDataObject = 5;

    // Error codes, indexes into the error table (getErrorText).
    enum ErrorCode
    {
        kNoError = 0,
        kNotConnected = 1,
        kOutOfMemory = 2,
        kQueryFailed = 3,
        kUnknownDatabaseObject = 16,
        kCannotInitialize = 17
    };

    uDatabaseObject();
    explicit uDatabaseObject(int engineType);
    virtual ~uDatabaseObject();
    uDatabaseObject(const uDatabaseObject&) = delete;
    uDatabaseObject& operator=(const uDatabaseObject&) = delete;

    // Replaces the engine: type 5 makes a uActiveXDataObject; any other type
    // leaves none and sets code 16. True when an engine exists afterwards.
    bool createEngine(int type);

    virtual bool open(const char* connectionString, const char* databaseName, const char* user,
                      const char* password);
    virtual bool connect();
    virtual void close();
    virtual bool isOK();
    virtual bool isConnected();
    virtual bool execute(const char* statement);
    virtual int executeCount(const char* statement);
    virtual int executeInsert(const char* statement);
    virtual int getLastInsertId();
    virtual bool columnExists(const char* table, const char* column);
    virtual bool updateString(const char* table, const char* column, const char* value,
                              const char* condition);
    virtual bool updateInt(const char* table, const char* column, int value, const char* condition);
    virtual bool selectString(const char* table, const char* column, uString& out, const char* condition);
    virtual bool selectChars(const char* table, const char* column, char* out, const char* condition);
    virtual bool selectInt(const char* table, const char* column, int* out, const char* condition);
    virtual bool deleteRows(const char* table, const char* condition);
    virtual int count(const char* table, const char* column, const char* condition);
    virtual bool selectCharsAt(const char* table, const char* column, char* out, int row,
                               const char* condition);
    virtual bool selectIntAt(const char* table, const char* column, int* out, int row, const char* condition);
    virtual char* getString(const char* table, const char* column, const char* condition);
    virtual int getInt(const char* table, const char* column, const char* condition);
    virtual int* selectIntArray(const char* table, const char* column, const char* condition,
                                const char* tail);
    virtual bool selectIntList(const char* table, const char* column, std::list<int>& out,
                               const char* condition, const char* tail);
    virtual bool selectStringList(const char* table, const char* column, std::list<uString>& out,
                                  const char* condition, const char* tail);
    virtual bool tableExists(const char* table);
    virtual void printTableSchema(const char* table, const char* lineEnd);
    virtual bool createTable(const char* newTable, const char* templateTable);
    virtual bool deleteTable(const char* table);
    virtual char** describeTable(const char* table);
    virtual bool selectDatabase(const char* name);
    virtual bool md5(const char* text, char* hexOut);
    virtual bool getServerDate(char* out);
    virtual int getErrorCode();
    // The error table's text for the current code (it replaces the message).
    virtual uString& getErrorText();
    // The database name given to open or selectDatabase: which file the
    // object is on.
    const uString& getDatabaseName() const { return m_databaseName; }

protected:
    uString m_message;
    int m_errorCode = kNoError;
    bool m_connected = false;
    uString m_connectionString;
    uString m_databaseName;
    uString m_user;
    uString m_password;

private:
    // Sets code 17 when there is no engine to forward to.
    bool hasEngine();

    uDatabaseObject* m_engine = nullptr; // owned
};
