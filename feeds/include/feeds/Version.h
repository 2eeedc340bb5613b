#pragma once

class uFile;

// A program version as three numbers, as the update check compares them.
class CVersion
{
public:
    CVersion() = default;
    CVersion(int major, int minor, int release) : major(major), minor(minor), release(release) {}
    // Dotted text such as "0.9.7". Parts beyond the third are ignored; missing
    // parts are 0. Each part takes its leading digits only.
    explicit CVersion(const char* dotted);
    // A version file: lines "major=N", "minor=N" and "release=N" (trimmed,
    // keys case-sensitive; a later line wins). Numbers the file lacks, or all
    // three when it cannot be read, stay 0. The file is only ever read.
    explicit CVersion(const uFile& file);
    virtual ~CVersion() = default;

    // Ordered by major, then minor, then release.
    bool operator>(const CVersion& other) const;
    bool operator==(const CVersion& other) const = default;

    int major = 0;
    int minor = 0;
    int release = 0;
};
