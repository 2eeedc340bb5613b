#pragma once

namespace ui
{
// Settles the environment the toolkit reads once at start: call before the
// toolkit starts, from the program and from the window tests alike.
void PrepareToolkitEnvironment();
} // namespace ui
