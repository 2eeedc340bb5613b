#pragma once

#include <string>

namespace testsupport
{

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it
// when the object goes out of scope.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string& name) const;
    // Writes bytes to path()/name (creating parent folders) and returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// Removes the file at `path` and makes a new one there holding `bytes`,
// under the inode number the removed one left where the file system gives
// it out again (ext4 does); false when the number could not be had back.
bool MakeAnewUnderItsInode(const std::string& path, const std::string& bytes);

// Sets an environment variable for the lifetime of the object and restores
// the previous value (or its absence) afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_hadOld = false;
};

// A temporary HOME with XDG folders pointing inside it, so that code that
// looks for the user's documents or configuration folder never touches the
// real ones.
class TempHome
{
public:
    TempHome();
    const std::string& path() const { return m_dir.path(); }
    std::string file(const std::string& name) const { return m_dir.file(name); }

private:
    TempDir m_dir;
    ScopedEnv m_home;
    ScopedEnv m_config;
    ScopedEnv m_data;
    ScopedEnv m_documents;
};

} // namespace testsupport
