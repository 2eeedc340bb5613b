#pragma once

#include <cstddef>
#include <functional>

namespace testsupport
{

// Runs `save` in a forked child whose files may grow to `byteLimit` bytes at
// most: the write that goes past it ends the child with SIGXFSZ, inside the
// write, before any rename, as a kill would. True when the child ended so;
// false when the save returned (it wrote less) or the fork failed. Whatever
// the save had written until then stays on disk.
bool RunKilledInsideWrite(const std::function<void()>& save, std::size_t byteLimit);

} // namespace testsupport
