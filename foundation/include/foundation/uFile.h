#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <list>
#include <string>

// A file-system path and, optionally, an open file on it.
//
// "/" is the only separator; "\" is an ordinary character. Every open is
// exclusive: while one uFile holds a file open, a second open of it (from this
// process or another) fails, as does removing or moving it through uFile.
// A uFile belongs to one thread at a time.
class uFile
{
public:
    static constexpr char kSeparator = '/';

    // Open modes. They are exact values, not flags that combine.
    static constexpr int kModeRead = 1;
    static constexpr int kModeWrite = 2; // created when missing, emptied once the lock is held
    static constexpr int kModeAppend = 4;

    // Copy policies.
    static constexpr int kCopyAlways = 0;
    static constexpr int kCopyUnlessNewer = 1; // skip when the destination is newer than the source
    static constexpr int kCopyUnlessExists = 2;

    // The count that read() reports at the end of the file.
    static constexpr uint32_t kEndOfFile = 0xFFFFFFFFu;

    uFile();
    explicit uFile(const char* path, int mode = kModeRead);
    // directory + "/" + name, with exactly one separator at the seam.
    uFile(const char* directory, const char* name, int mode = kModeRead);
    uFile(const char* directory, const char* middle, const char* name, int mode = kModeRead);
    // Copies take the path and mode, never the open file.
    uFile(const uFile& other);
    uFile& operator=(const uFile& other);
    virtual ~uFile();

    // Closes this object's file first, then takes the other's path and mode.
    void copyFrom(const uFile& other);
    int setMode(int mode);
    int getMode() const { return m_mode; }
    bool isReadOrWriteMode() const { return m_mode == kModeRead || m_mode == kModeWrite; }

    // Replaces the path; returns whether something exists there.
    bool setPath(const char* path);
    bool setToCurrentDirectory();
    const uString& getPath() const { return m_path; }

    // Appends a component with one separator between; an empty path becomes
    // the bare component.
    bool append(const char* component);
    uFile& operator+=(const char* component);
    // Points into the path just after its last separator (the whole path when there is none).
    const char* getFileName() const;
    // The path up to and including its last separator; false when that is empty.
    bool getDirectory(uString& directory) const;
    // Replaces the last component; false when the path holds no component.
    bool setFileName(const char* name);

    // Lexical absolute form (no symbolic links resolved); the path must exist.
    bool getAbsolutePath(uString& absolute) const;
    bool makeAbsolute();
    bool getAbsolute(uFile& target) const;

    bool exists() const;
    bool isFile() const;
    bool isDirectory() const;
    int64_t getSize() const;
    time_t getModifiedTime() const;
    bool isVisible() const;
    bool isWritable() const;
    bool isExecutable() const;
    // Creates the directory and its missing parents. False when the directory
    // already existed before the call; true when this call (or a concurrent
    // one) made it exist.
    bool ensureDirectory() const;
    // True when something exists at the path afterwards.
    bool ensurePath() const;

    bool open();
    bool close();
    bool isOpen() const { return m_descriptor >= 0; }
    // Deletes the regular file at the path; true when nothing exists there afterwards.
    bool remove();
    // Never replaces an existing target; moves files across file systems by copying.
    // True when the object's path now equals the new path.
    bool moveTo(const char* newPath);
    bool moveTo(const uFile& newPath);
    // Atomically replaces the file at this path by the file at temporaryPath
    // (flushed to disk first). False, with both files untouched, when this
    // file is held open by another uFile, unless evenWhenHeld: for files whose
    // readers may go on with the copy they opened (the holder keeps it).
    bool replaceWith(const char* temporaryPath, bool evenWhenHeld = false);
    // Writes the bytes to a temporary file beside the path (hidden and marked
    // as the program's: ReplacementTempPrefix in foundation/uDirectory.h),
    // flushes it and renames it over the path: readers see the old or the new
    // content, never a mix.
    bool replaceContents(const void* data, uint64_t size, unsigned permissions = 0644,
                         bool evenWhenHeld = false);

    // Reads up to *count bytes. At the end of the file: true with *count = kEndOfFile.
    bool read(void* buffer, uint32_t* count);
    bool readByte(uint8_t& value);
    bool readInt32(int32_t& value);
    // One line without its CR and LF; false at the end of the file and for an empty line.
    bool readLine(uString& line);
    // The same as a heap C string (free with free()); null when nothing was read.
    char* readLine();
    // The rest of the file, every byte kept.
    bool readAll(uString& text);
    // The same as a new uString the caller deletes.
    uString* readAll();

    bool write(const void* buffer, uint32_t* count);
    bool writeByte(uint8_t value);
    bool writeInt32(int32_t value);
    bool writeInt32(uint32_t value);
    bool writeInt64(int64_t value);
    // The text's bytes, then CR LF.
    bool writeText(const char* text);

    // Origin 0 the start, 1 the position before the call, 2 the end. A position
    // past the end is moved back to the end. Returns the new position, 0 on failure.
    int64_t seek(int64_t offset, int origin);
    bool flush();
    bool lock();
    bool unlock();
    bool isLocked() const;
    bool setLength(int64_t length);
    // Maps the whole file: mode 1 read-only and private, any other mode shared
    // read-write (the file is never emptied). Null on failure, e.g. for an empty
    // file. close() unmaps.
    void* mapView(uint64_t* size, int mode = kModeRead);

    // Copying and listing (see also foundation/uDirectory.h).
    bool copyFrom(const char* sourcePath, int policy);
    bool copyDirectoryFrom(const char* sourceDirectory) const;
    bool updateDirectoryFrom(const char* sourceDirectory) const;
    bool copyDirectoryTo(const char* destinationDirectory) const;
    // The entries as absolute paths in mode 1, "." and ".." skipped; false when
    // the path is no directory.
    bool listDirectory(std::list<uFile>& entries) const;
    char** listFileNames() const;
    void printDirectory(FILE* stream) const;
    // Deletes the directory with everything in it; symbolic links are removed,
    // never followed.
    void removeDirectory() const;

private:
    bool openDescriptor(int flags, bool truncateAfterLock);
    void unmapView();

    uString m_path;
    int m_mode = kModeRead;
    int m_descriptor = -1;
    void* m_view = nullptr;
    uint64_t m_mappedSize = 0;
};

// Free functions on C-string paths; a null path counts as not existing.
bool PathExists(const char* path);
bool IsRegularFile(const char* path);
bool IsDirectory(const char* path);
int64_t GetFileSize(const char* path);
time_t GetFileModifiedTime(const char* path);
// Hidden means the name starts with ".".
bool IsVisibleFile(const char* path);
bool IsWritableFile(const char* path);
// A regular file the user may execute.
bool IsExecutableFile(const char* path);
// One level, mode 0777 less the umask; false when the path already is a directory.
bool MakeDirectory(const char* path);
// Heap C string (free with free()), or null when nothing exists at the path.
char* GetAbsolutePath(const char* path);
bool IsAlphaNumeric(const char* text);
// Makes a feed-supplied name safe as one path component: removes
// \ / : * ? < > | and turns ".", ".." and empty or blank results into "_".
void MakeValidFileName(uString& name);
// In place; a buffer that held an empty name cannot grow, so it stays empty.
void MakeValidFileName(char* name);
// Longest name, in bytes, made from feed text: below the 255 bytes a name may
// take on common file systems, with room for what is added to it later
// ("-1a2b3c4d" or " (2)" when filed, ".part" while a page is saved).
constexpr int kMaxFeedNameBytes = 200;
// The one rule for every file or folder name made from feed text (a channel
// title, the file name of an enclosure link): MakeValidFileName, then, over
// kMaxFeedNameBytes, cut on a UTF-8 character boundary with the extension
// kept. A name within the limit comes back as MakeValidFileName makes it, so
// names stored before the cut still match.
uString SafeFileName(const uString& text);
// The name of a copy kept beside a file of the same name, as file managers
// name it: `name` (no folder) with " (number)" before its ending, the ending of
// a tar archive whole ("pack.zip" gives "pack (2).zip", "logs.tar.gz"
// "logs (2).tar.gz", ".profile" ".profile (2)"); the stem is cut at a character
// to keep the name within 255 bytes. Each caller picks its first number.
std::string NumberedName(const std::string& name, unsigned number);
