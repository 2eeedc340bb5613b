#include "feeds/Version.h"

#include "foundation/uFile.h"
#include "foundation/uSplit.h"

#include <climits>
#include <cstdlib>
#include <vector>

namespace
{

// The C library's decimal reading, held to the int range.
int toInt(const char* text)
{
    long value = std::strtol(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

} // namespace

CVersion::CVersion(const char* dotted)
{
    std::vector<int> parts;
    SplitToIntList(dotted, '.', parts);
    int* fields[] = {&major, &minor, &release};
    for (size_t i = 0; i < parts.size() && i < 3; ++i)
        *fields[i] = parts[i];
}

CVersion::CVersion(const uFile& file)
{
    // A copy in read mode: opening the caller's object in a write mode would
    // empty the file.
    uFile reader(file);
    reader.setMode(uFile::kModeRead);
    if (!reader.open())
        return;
    uString text;
    reader.readAll(text);
    reader.close();

    // Every line counts, also those after a blank one, and the last one
    // without its newline: the splitter keeps only what a newline ends.
    text += '\n';
    std::vector<uString> lines;
    SplitToList(text.c_str(), '\n', lines);
    for (uString& line : lines)
    {
        line.trim();
        if (line.startsWith("major="))
            major = toInt(line.c_str() + 6);
        else if (line.startsWith("minor="))
            minor = toInt(line.c_str() + 6);
        else if (line.startsWith("release="))
            release = toInt(line.c_str() + 8);
    }
}

bool CVersion::operator>(const CVersion& other) const
{
    if (major != other.major)
        return major > other.major;
    if (minor != other.minor)
        return minor > other.minor;
    return release > other.release;
}
