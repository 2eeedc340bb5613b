#pragma once

#include <span>
#include <string_view>

// Accelerator tables as data: keys in the form wxAcceleratorEntry::FromString
// reads ("Ctrl+Shift+Tab"), and the command each one sends.
namespace resources
{
struct Accelerator
{
    std::string_view keys;
    int command;
};

// Table 128: the main window's keys.
inline constexpr Accelerator kAccelerators128[] = {
    {"Ctrl+N", 32770},         // New Subscription
    {"Ctrl+L", 149},           // New List
    {"Ctrl+D", 151},           // New Download
    {"Ctrl+O", 32785},         // Open URL
    {"Ctrl+S", 129},           // Save
    {"Ctrl+P", 57607},         // Print
    {"Ctrl+I", 32771},         // Import
    {"Ctrl+E", 32772},         // Export
    {"Ctrl+Z", 57643},         // Undo
    {"Alt+Back", 57643},       //
    {"Ctrl+X", 57635},         // Cut
    {"Shift+Delete", 57635},   //
    {"Ctrl+C", 57634},         // Copy
    {"Ctrl+Insert", 57634},    //
    {"Ctrl+V", 57637},         // Paste
    {"Shift+Insert", 57637},   //
    {"Delete", 32774},         // Delete
    {"Ctrl+F", 32792},         // Find
    {"Ctrl+B", 216},           // Browse
    {"F5", 32822},             // focus the subscription tree
    {"F6", 32823},             // focus the item list
    {"F7", 32824},             // focus the browser's address box
    {"F8", 32825},             // focus the browser view
    {"Ctrl+Tab", 32826},       // next pane
    {"Ctrl+Shift+Tab", 32827}, // previous pane
};

struct AcceleratorTable
{
    int id;
    std::span<const Accelerator> entries;
};

inline constexpr AcceleratorTable kAcceleratorTables[] = {
    {128, kAccelerators128},
};

/// The entries of an accelerator table; empty when there is no such table.
constexpr std::span<const Accelerator> FindAccelerators(int id)
{
    for (const AcceleratorTable& table : kAcceleratorTables)
    {
        if (table.id == id)
            return table.entries;
    }
    return {};
}
} // namespace resources
