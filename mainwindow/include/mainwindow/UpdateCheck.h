#pragma once

#include "feeds/Version.h"
#include "foundation/uFile.h"
#include "foundation/uMessage.h"
#include "foundation/uString.h"
#include "foundation/uThread.h"

#include <string>
#include <string_view>

// The check for a newer version of the program: a worker fetches a small
// version file ("major=", "minor=", "release=" lines), reads it, and posts
// WM_APP_VERSIONCHECKED with the version it found. No window code.
namespace update
{
// The version built into the program (the About box shows the same).
inline constexpr const char* kProgramVersion = "0.9.7";

// Where the addresses are kept: the profile's "Update" section. Both are
// empty unless the user (or a distributor) sets them, and an empty version
// address means no check at all.
inline constexpr const char* kProfileSection = "Update";
inline constexpr const char* kVersionUrlEntry = "VersionUrl";
inline constexpr const char* kDownloadPageEntry = "DownloadPage";

// The version file's numbers; false when any of the three lines is missing
// (such a file is never newer). A later line wins over an earlier one.
bool ParseVersionFile(std::string_view text, CVersion& version);
// The posted form of a version, "major.minor.release", and back.
std::string FormatVersion(const CVersion& version);
bool ParsePostedVersion(std::string_view text, CVersion& version);
// True when the posted text names a version above the program's own.
bool IsNewerThanProgram(std::string_view posted);

// One check on its own thread. It fetches the URL into its target file, reads
// it there, removes it and posts WM_APP_VERSIONCHECKED to the owner: wParam 1
// when the file came and was not empty (the text then holds the version, or
// is empty when the file lacked a number), else 0. It deletes its thread and
// itself at the end; the frame keeps no pointer to it.
class CVersionCheckTask : public uRunnable
{
public:
    // Starts at once; the target is this task's own file, so that checks
    // running side by side never share one.
    static void Start(const uString& url, const uFile& target, uWindowHandle owner);
    void run() override;

private:
    CVersionCheckTask(const uString& url, const uFile& target, uWindowHandle owner);

    uString m_url;
    uFile m_target;
    uWindowHandle m_owner;
    uThread* m_thread = nullptr;
};
} // namespace update
