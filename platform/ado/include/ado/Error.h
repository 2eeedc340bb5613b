#pragma once

#include <cstdint>
#include <string>

namespace ado
{

// HRESULT-like codes: the values a Jet provider would have reported, kept for
// the error texts users and callers already know. Only used for display and
// classification; the SQLite result code is kept beside them.
inline constexpr std::uint32_t kUnspecifiedError = 0x80004005u;
inline constexpr std::uint32_t kOutOfMemory = 0x8007000Eu;
inline constexpr std::uint32_t kErrorsInCommand = 0x80040E14u;
inline constexpr std::uint32_t kDataTypeMismatch = 0x80040E07u;
inline constexpr std::uint32_t kAuthenticationFailed = 0x80040E4Du;
inline constexpr std::uint32_t kNoCurrentRecord = 0x800A0BCDu;
inline constexpr std::uint32_t kItemNotFound = 0x800A0CC1u;

// Source named by failures that this layer detects itself (as opposed to SQLite).
inline constexpr const char* kLayerSource = "Kestrova ADO";
inline constexpr const char* kEngineSource = "SQLite";

// Text of the function error raised by DateDiff on a bad date or interval; the
// statement then fails with kDataTypeMismatch.
inline constexpr const char* kDataTypeMismatchText = "Data type mismatch in criteria expression.";

// The last failure of an operation. code 0 means "no error".
struct Error
{
    std::uint32_t code = 0;
    int engineCode = 0; // SQLite extended result code; 0 when the layer itself refused
    std::string source;
    std::string description;

    bool isSet() const { return code != 0; }
    void clear() { *this = Error(); }

    // The "Code meaning" text for code.
    std::string meaning() const;
    // An insert or update refused by a UNIQUE or PRIMARY KEY constraint.
    bool isDuplicateKey() const;
    // The database stayed locked by another connection past the busy timeout.
    bool isBusy() const;

    // A failure found by this layer (bad statement text, no current record...).
    static Error layer(std::uint32_t code, std::string description);
};

// "Code = %08lx\nCode meaning = %s\nSource = %s\nDescription = %s"
std::string formatError(const Error& error);

} // namespace ado
