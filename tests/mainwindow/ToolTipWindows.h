#pragma once

namespace guitest
{
/// How many tool tips the X server shows now: viewable top-level windows
/// that call themselves tool tips, whichever part of the program made them.
int ShownToolTips();

/// Counts the tool tips the X server is asked to show from now on, however
/// briefly each stays: the proof that the toolkit did try to show one.
class ToolTipWatch
{
public:
    ToolTipWatch();
    ~ToolTipWatch();
    ToolTipWatch(const ToolTipWatch&) = delete;
    ToolTipWatch& operator=(const ToolTipWatch&) = delete;

    /// Tips mapped since the watch began.
    int Mapped();

private:
    void* m_display = nullptr; // Display*, a connection of its own
    int m_mapped = 0;
};
} // namespace guitest
