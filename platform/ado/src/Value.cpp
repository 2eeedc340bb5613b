#include "ado/Value.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ado
{

namespace
{

std::int32_t low32(std::int64_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// The leading integer of a text: blanks, an optional sign, digits; saturates.
std::int64_t leadingInteger(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > limit)
            return negative ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

} // namespace

Value Value::fromInteger(std::int64_t v)
{
    Value value;
    value.type = ValueType::Integer;
    value.integer = v;
    return value;
}

Value Value::fromReal(double v)
{
    Value value;
    value.type = ValueType::Real;
    value.real = v;
    return value;
}

Value Value::fromText(std::string text)
{
    Value value;
    value.type = ValueType::Text;
    value.bytes = std::move(text);
    return value;
}

Value Value::fromBlob(std::string data)
{
    Value value;
    value.type = ValueType::Blob;
    value.bytes = std::move(data);
    return value;
}

std::string Value::toText() const
{
    switch (type)
    {
    case ValueType::Null:
        return std::string();
    case ValueType::Integer:
        return std::to_string(integer);
    case ValueType::Real:
    {
        // to_chars ignores the locale: "." whatever LC_NUMERIC says.
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, real);
        return std::string(buffer, result.ptr);
    }
    case ValueType::Text:
    case ValueType::Blob:
        return bytes;
    }
    return std::string();
}

std::int32_t Value::toInt32() const
{
    switch (type)
    {
    case ValueType::Integer:
        return low32(integer);
    case ValueType::Real:
        if (std::isnan(real))
            return 0;
        if (real >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
            return std::numeric_limits<std::int32_t>::max();
        if (real <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
            return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(real);
    case ValueType::Text:
        return low32(leadingInteger(bytes));
    case ValueType::Null:
    case ValueType::Blob:
        return 0;
    }
    return 0;
}

} // namespace ado
