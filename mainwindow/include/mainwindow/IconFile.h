#pragma once

#include "mainwindow/IconFileFormat.h"

#include <memory>
#include <string>
#include <wx/icon.h>

/// A site icon file (.ico) read for the subscription tree's image list.
class CIconFile
{
public:
    /// Loads the file; when that fails the object stays empty and the error
    /// text is dropped.
    explicit CIconFile(const std::string& path);
    virtual ~CIconFile();

    /// The first image of exactly size by size pixels, with its transparency;
    /// an invalid icon when there is none, nothing was loaded, or the image
    /// cannot be decoded.
    wxIcon GetIcon(int size) const;

    /// The loaded record, or null with one of the ico::kError... texts.
    static std::unique_ptr<ico::IconResource> LoadIconFile(const std::string& path, std::string& error);

private:
    std::unique_ptr<ico::IconResource> m_icon;
};
