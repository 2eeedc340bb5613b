#pragma once

// What the browser pane's download tests share: the documents a site
// offers, and the pane's copies in the temp folder.
#include "feeds/Preference.h"
#include "support/LocalHttpServer.h"

#include <filesystem>
#include <string>

// An answer to be saved, not shown, under the server's name.
inline testsupport::HttpResponse Attachment(const std::string& type, const std::string& name,
                                            const std::string& body)
{
    testsupport::HttpResponse response;
    response.header("Content-Type", type).header("Content-Disposition", "attachment; filename=" + name);
    response.body = body;
    return response;
}

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
