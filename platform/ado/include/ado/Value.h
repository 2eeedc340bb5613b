#pragma once

#include <cstdint>
#include <string>

namespace ado
{

enum class ValueType
{
    Null,
    Integer,
    Real,
    Text,
    Blob
};

// One field value of a materialised row, kept in its SQLite storage class.
struct Value
{
    ValueType type = ValueType::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string bytes; // text (UTF-8, may hold NUL bytes) or blob

    static Value null() { return Value(); }
    static Value fromInteger(std::int64_t v);
    static Value fromReal(double v);
    static Value fromText(std::string text);
    static Value fromBlob(std::string data);

    bool isNull() const { return type == ValueType::Null; }
    bool isText() const { return type == ValueType::Text; }

    // NULL -> "", INTEGER -> decimal, REAL -> shortest round-trip text with '.'
    // whatever the locale, TEXT and BLOB -> their bytes.
    std::string toText() const;
    // INTEGER truncated to 32 bits, REAL toward zero (saturating), TEXT by its
    // leading integer, NULL and BLOB 0. Never reinterprets bits.
    std::int32_t toInt32() const;
};

} // namespace ado
