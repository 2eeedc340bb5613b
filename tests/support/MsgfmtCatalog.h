#pragma once

// Translation catalogs compiled by the real msgfmt, for the catalog reader's
// and the language chooser's tests.
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace testsupport
{
inline std::string PoFile(const std::string& language, const std::string& file)
{
    return "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n" +
           (language.empty() ? std::string() : "\"Language: " + language + "\\n\"\n") + "\n#: " + file +
           "\nmsgid \"&File\"\nmsgstr \"&Datei\"\n\n"
           "msgid \"item\"\nmsgid_plural \"items\"\nmsgstr[0] \"Eintrag\"\nmsgstr[1] \"Einträge\"\n\n"
           "msgid \"untranslated\"\nmsgstr \"\"\n";
}

inline bool HaveMsgfmt()
{
    return std::filesystem::exists("/usr/bin/msgfmt");
}

// Compiles a small catalog for `language` into dir/name.
inline std::string CompileCatalog(const TempDir& dir, const std::string& name, const std::string& language,
                                  const std::string& endianness = "little")
{
    std::string po = dir.write("sources/" + name + ".po", PoFile(language, name));
    std::string mo = dir.file(name);
    std::filesystem::create_directories(std::filesystem::path(mo).parent_path());
    std::string command = "/usr/bin/msgfmt --endianness=" + endianness + " -o '" + mo + "' '" + po + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return mo;
}
} // namespace testsupport
