#pragma once

#include "mainwindow/IconFileFormat.h"

#include <memory>
#include <string>

class uFile;
#include <wx/icon.h>

/// A site icon file (.ico) read for the subscription tree's image list.
class CIconFile
{
public:
    /// Loads the file; when that fails the object stays empty and the error
    /// text is dropped.
    explicit CIconFile(uFile& file);
    virtual ~CIconFile();

    /// The first image of exactly size by size pixels, with its transparency;
    /// an invalid icon when there is none, nothing was loaded, or the image
    /// cannot be decoded.
    wxIcon GetIcon(int size) const;

    /// Reads the whole file (opening it when it is not open, and closing it
    /// again then) and parses it: the record, or null with one of the
    /// ico::kError... texts.
    static std::unique_ptr<ico::IconResource> LoadIconFile(uFile& file, std::string& error);

private:
    std::unique_ptr<ico::IconResource> m_icon;
};
