#pragma once

#include "feeds/Preference.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace testsupport
{

// The permission bits of a file or folder; 0 when it does not exist.
inline unsigned ModeOf(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

// A temporary HOME and program folder for tests that construct the
// configuration. The program folder holds the seed files of the subscription
// folder. The configuration is released (and so saved) before the folders go.
class ConfigHome
{
public:
    ConfigHome() : m_programEnv("KESTROVA_PROGRAM_DIR", m_program.path())
    {
        m_program.write("subscription/config.xml", "<?xml version=\"1.0\"?><Kestrova/>\n");
        m_program.write("subscription/directory.xml", "<?xml version=\"1.0\"?><KestDirectory/>\n");
    }
    ~ConfigHome() { CPreference::Release(); }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

    const TempHome& home() const { return m_home; }
    // Writes bytes to HOME/name, creating parent folders; returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        const std::string full = m_home.file(name);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + full);
        return full;
    }
    const TempDir& program() const { return m_program; }
    // HOME/Documents/Kestrova, where the configuration keeps its files.
    std::string dataDir() const { return m_home.file("Documents/Kestrova"); }
    std::string data(const std::string& name) const { return dataDir() + "/" + name; }

private:
    TempHome m_home;
    TempDir m_program;
    ScopedEnv m_programEnv;
};

} // namespace testsupport
