#include "ado/Error.h"

#include "EngineError.h"

#include <cstdio>
#include <sqlite3.h>

namespace ado
{

std::string Error::meaning() const
{
    switch (code)
    {
    case 0:
        return "No error";
    case kUnspecifiedError:
        return "Unspecified error";
    case kOutOfMemory:
        return "Not enough memory";
    case kErrorsInCommand:
        return "Errors occurred during processing of the command";
    case kDataTypeMismatch:
        return "Data type mismatch";
    case kAuthenticationFailed:
        return "Authentication failed";
    case kNoCurrentRecord:
        return "No current record";
    case kItemNotFound:
        return "Item not found in collection";
    default:
        return "Unknown error";
    }
}

bool Error::isDuplicateKey() const
{
    return engineCode == SQLITE_CONSTRAINT_UNIQUE || engineCode == SQLITE_CONSTRAINT_PRIMARYKEY;
}

bool Error::isBusy() const
{
    const int primary = engineCode & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

Error Error::layer(std::uint32_t code, std::string description)
{
    Error error;
    error.code = code;
    error.source = kLayerSource;
    error.description = std::move(description);
    return error;
}

std::string formatError(const Error& error)
{
    char code[16];
    std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(error.code));
    std::string text = "Code = ";
    text += code;
    text += "\nCode meaning = ";
    text += error.meaning();
    text += "\nSource = ";
    text += error.source.empty() ? "(null)" : error.source;
    text += "\nDescription = ";
    text += error.description.empty() ? "(null)" : error.description;
    return text;
}

namespace detail
{

Error engineError(sqlite3* db, int resultCode)
{
    Error error;
    const int extended = db ? sqlite3_extended_errcode(db) : resultCode;
    error.engineCode = (extended & 0xFF) == (resultCode & 0xFF) ? extended : resultCode;
    error.source = kEngineSource;
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
    error.description = message ? message : sqlite3_errstr(resultCode);
    switch (resultCode & 0xFF)
    {
    case SQLITE_NOMEM:
        error.code = kOutOfMemory;
        break;
    case SQLITE_ERROR:
        error.code = error.description == kDataTypeMismatchText ? kDataTypeMismatch : kErrorsInCommand;
        break;
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
    case SQLITE_TOOBIG:
        error.code = kErrorsInCommand;
        break;
    default:
        error.code = kUnspecifiedError;
        break;
    }
    error.description += " (" + std::to_string(error.engineCode) + ")";
    return error;
}

} // namespace detail

} // namespace ado
