#pragma once

#include "feeds/Preference.h"

#include <filesystem>
#include <string>

// The browser pane's hand-off copies in the temp folder ("page-...", whatever
// their ending).
inline int PaneFiles()
{
    int count = 0;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(CPreference::GetInstance()->GetTempDir().getPath().c_str()))
        count += entry.path().filename().string().rfind("page-", 0) == 0 ? 1 : 0;
    return count;
}
