#pragma once

#include <string>
#include <vector>

namespace ado
{

// ADO DataTypeEnum values reported for declared column types.
enum DataType : int
{
    kTypeEmpty = 0,
    kTypeSmallInt = 2,
    kTypeInteger = 3,
    kTypeDouble = 5,
    kTypeCurrency = 6,
    kTypeDate = 7,
    kTypeBoolean = 11,
    kTypeVariant = 12,
    kTypeBigInt = 20,
    kTypeNumeric = 131,
    kTypeVarWChar = 202,
    kTypeLongVarWChar = 203,
    kTypeLongVarBinary = 205
};

// One column as the columns schema rowset describes it.
struct ColumnInfo
{
    std::string name;
    std::string declaredType;
    bool nullable = true;
    bool hasDefault = false;
    std::string defaultValue;   // the default's SQL text, quotes of a string literal removed
    int primaryKeyPosition = 0; // 1-based position in the primary key, 0 when not part of it
    int dataType = kTypeVariant;
    int maxLength = 0;          // "(n)" of the declared type, 0 when none
    bool autoIncrement = false; // the rowid alias: INTEGER PRIMARY KEY
};

struct ForeignKeyInfo
{
    int id = 0; // keys spanning several columns share an id
    int sequence = 0;
    std::string column;
    std::string referencedTable;
    std::string referencedColumn;
    std::string onUpdate;
    std::string onDelete;
};

// An index created by its own CREATE INDEX statement (indexes made by UNIQUE or
// PRIMARY KEY constraints belong to the table's definition and have no SQL).
struct IndexInfo
{
    std::string name;
    std::string sql;
};

// ADO data type for a declared SQLite column type.
int dataTypeOf(const std::string& declaredType);
// The n of "TEXT(n)"/"VARCHAR(n)", 0 when the declared type has none.
int maxLengthOf(const std::string& declaredType);

} // namespace ado
