#pragma once

#include <string>

namespace testsupport
{

// While one lives, the files under `folder` are, to this process, on a file
// system that refuses renameat2's flags (EINVAL) and hard links (EPERM), as
// some network and FUSE ones do; with `refuseRenames` it refuses plain
// renames too (EPERM). The calls are the test program's own, in place of the C
// library's.
class RefusingFileSystem
{
public:
    explicit RefusingFileSystem(const std::string& folder, bool refuseRenames = false);
    ~RefusingFileSystem();
    RefusingFileSystem(const RefusingFileSystem&) = delete;
    RefusingFileSystem& operator=(const RefusingFileSystem&) = delete;
};

} // namespace testsupport
