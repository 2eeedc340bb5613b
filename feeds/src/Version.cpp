#include "feeds/Version.h"

#include "foundation/uSplit.h"

#include <vector>

CVersion::CVersion(const char* dotted)
{
    std::vector<int> parts;
    SplitToIntList(dotted, '.', parts);
    int* fields[] = {&major, &minor, &release};
    for (size_t i = 0; i < parts.size() && i < 3; ++i)
        *fields[i] = parts[i];
}

bool CVersion::operator>(const CVersion& other) const
{
    if (major != other.major)
        return major > other.major;
    if (minor != other.minor)
        return minor > other.minor;
    return release > other.release;
}
