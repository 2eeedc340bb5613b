#pragma once

namespace ui
{
// Settles the environment the toolkit and the browser engine's processes
// read once at start: call before the toolkit or any thread starts, from the
// program and from the window tests alike.
void PrepareToolkitEnvironment();
} // namespace ui
