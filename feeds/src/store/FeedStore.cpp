#include "feeds/FeedStore.h"

#include "feeds/MessageBox.h"
#include "feeds/Preference.h"
#include "foundation/uFile.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{

// A Data Source value that the connection-string reader would cut or trim
// travels in double quotes (a quote inside doubled).
uString DataSourceValue(const uString& path)
{
    const char* text = path.c_str();
    const int length = path.getLength();
    const bool plain = length > 0 && !path.contains(";") && text[0] != '"' && text[0] != '\'' &&
                       text[0] != ' ' && text[0] != '\t' && text[length - 1] != ' ' &&
                       text[length - 1] != '\t';
    if (plain)
        return path;
    uString quoted(path);
    quoted.replace("\"", "\"\"");
    return uString("\"") + quoted + "\"";
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The four digits of each ASCII unit, made once: most stored text is ASCII.
constexpr std::array<std::array<char, 4>, 128> kAsciiUnits = []
{
    std::array<std::array<char, 4>, 128> units{};
    for (unsigned c = 0; c < 128; ++c)
        units[c] = {kHexDigits[c >> 4], kHexDigits[c & 0xF], '0', '0'};
    return units;
}();

char* AppendUnit(char* out, char16_t unit)
{
    const unsigned low = unit & 0xFFu;
    const unsigned high = (unit >> 8) & 0xFFu;
    *out++ = kHexDigits[low >> 4];
    *out++ = kHexDigits[low & 0xF];
    *out++ = kHexDigits[high >> 4];
    *out++ = kHexDigits[high & 0xF];
    return out;
}

uString ConfiguredSubscriptionFolder()
{
    return CPreference::GetInstance()->GetSubscriptionDir().getPath();
}

} // namespace

// ---- connection string -------------------------------------------------------

CConnectionString::CConnectionString() : CConnectionString(ConfiguredSubscriptionFolder(), uString()) {}

CConnectionString::CConnectionString(const uString& fileName)
    : CConnectionString(ConfiguredSubscriptionFolder(), fileName)
{
}

CConnectionString::CConnectionString(const uString& subscriptionFolder, const uString& fileName)
    : m_folder(subscriptionFolder)
{
    Format(fileName);
}

void CConnectionString::SetFile(const uString& fileName)
{
    Format(fileName);
}

void CConnectionString::Format(const uString& fileName)
{
    const uFile path(m_folder.c_str(), fileName.isEmpty() ? kDefaultDatabase : fileName.c_str());
    m_path = path.getPath();
    text.format("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s;Jet OLEDB:Database Password=%s;",
                DataSourceValue(m_path).c_str(), kPassword);
}

// ---- store -------------------------------------------------------------------

CFeedStore::CFeedStore() : CFeedStore(ConfiguredSubscriptionFolder()) {}

CFeedStore::CFeedStore(const uString& subscriptionFolder)
    : databaseName(CConnectionString::kDefaultDatabase), m_subscriptionFolder(subscriptionFolder)
{
}

CFeedStore::~CFeedStore()
{
    dataObject.close();
}

void CFeedStore::Reset()
{
    parseDepth = 0;
    channelInserted = 0;
    errorCode = kNoError;
    channel.Clear();
    items.clear();
}

void CFeedStore::SetDatabase(const uString& fileName)
{
    // Byte for byte: on Linux "User1.mdb" and "user1.mdb" are two files.
    if (fileName == databaseName)
        return;
    databaseName = fileName;
    dataObject.close();
}

bool CFeedStore::EnsureOpen(bool showMessage)
{
    if (dataObject.isConnected())
        return true;
    const CConnectionString connection(m_subscriptionFolder, databaseName);
    if (dataObject.open(connection.c_str(), databaseName.c_str(), "", ""))
        return true;
    errorCode = kCannotOpen;
    errorText = dataObject.getErrorText();
    if (showMessage)
        CMessageBox::Display(errorText);
    return false;
}

void CFeedStore::FailStatement()
{
    errorCode = kStatementFailed;
    errorText = dataObject.getErrorText();
    ++m_failedStatements;
}

void CFeedStore::FailDisplayRead()
{
    FailStatement();
    CMessageBox::Display(errorText);
}

// ---- SQL values --------------------------------------------------------------

uString SqlHexLiteral(uString text)
{
    if (text.isEmpty())
        return uString("''");
    const int length = text.getLength();
    if (length > (INT32_MAX - 3) / 4)
        return uString("NULL");
    // One UTF-16 unit per byte at most, four digits per unit.
    const size_t capacity = 2 + static_cast<size_t>(length) * 4 + 1;
    char* buffer = static_cast<char*>(std::malloc(capacity));
    if (!buffer)
        return uString("NULL");
    char* out = buffer;
    *out++ = '0';
    *out++ = 'x';
    // ASCII bytes are whole UTF-16 units and are written straight away; runs
    // of other bytes go through the UTF-16 conversion (which also decides what
    // a malformed sequence becomes). NUL bytes are units of their own.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    int at = 0;
    while (at < length)
    {
        if (bytes[at] < 0x80)
        {
            std::memcpy(out, kAsciiUnits[bytes[at++]].data(), 4);
            out += 4;
            continue;
        }
        int end = at;
        while (end < length && bytes[end] >= 0x80)
            ++end;
        uString piece(text.c_str(), at, end - at);
        const char16_t* units = piece.getWide();
        if (!units)
        {
            std::free(buffer);
            return uString("NULL");
        }
        for (; *units; ++units)
            out = AppendUnit(out, *units);
        at = end;
    }
    *out = '\0';
    uString literal;
    literal.attach(buffer, static_cast<int>(out - buffer), static_cast<int>(capacity));
    return literal;
}

uString SqlQuote(uString text)
{
    text.replace("'", "''");
    return text;
}
