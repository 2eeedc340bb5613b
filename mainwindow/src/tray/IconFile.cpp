#include "mainwindow/IconFile.h"

#include "foundation/uFile.h"

#include <cstring>
#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

namespace
{
wxImage DecodePng(std::span<const std::uint8_t> data)
{
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    // A damaged image only means no icon: keep the failure out of the log window.
    wxLogNull quiet;
    wxMemoryInputStream stream(data.data(), data.size());
    wxImage image;
    image.LoadFile(stream, wxBITMAP_TYPE_PNG);
    return image;
}

wxImage ToWxImage(const ico::RgbaImage& rgba)
{
    wxImage image(rgba.width, rgba.height, /*clear=*/false);
    image.InitAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    const std::size_t count = static_cast<std::size_t>(rgba.width) * rgba.height;
    for (std::size_t i = 0; i < count; ++i)
    {
        std::memcpy(rgb + i * 3, rgba.pixels.data() + i * 4, 3);
        alpha[i] = rgba.pixels[i * 4 + 3];
    }
    return image;
}
} // namespace

CIconFile::CIconFile(uFile& file)
{
    std::string error;
    m_icon = LoadIconFile(file, error);
}

CIconFile::~CIconFile() = default;

std::unique_ptr<ico::IconResource> CIconFile::LoadIconFile(uFile& file, std::string& error)
{
    bool openedHere = !file.isOpen();
    if (openedHere)
        file.setMode(uFile::kModeRead);
    if (openedHere && (!file.isFile() || !file.open()))
    {
        error = ico::kErrorOpening;
        return nullptr;
    }
    struct CloseOnReturn
    {
        uFile& file;
        bool close;
        ~CloseOnReturn()
        {
            if (close)
                file.close();
        }
    } closer{file, openedHere};

    // Icons are small: a larger file is refused before anything is allocated.
    int64_t size = file.getSize();
    if (size < 0 || static_cast<uint64_t>(size) > ico::kMaxFileSize)
    {
        error = ico::kErrorAllocating;
        return nullptr;
    }
    file.seek(0, 0);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
    std::size_t done = 0;
    while (done < bytes.size())
    {
        uint32_t count = static_cast<uint32_t>(bytes.size() - done);
        if (!file.read(bytes.data() + done, &count))
        {
            error = ico::kErrorReading;
            return nullptr;
        }
        if (count == uFile::kEndOfFile)
            break;
        done += count;
    }
    // One byte more than the size was asked for: a file that grew meanwhile is
    // refused rather than read in part.
    if (done > static_cast<std::size_t>(size))
    {
        error = ico::kErrorAllocating;
        return nullptr;
    }
    bytes.resize(done);
    std::unique_ptr<ico::IconResource> icon = ico::ParseIconFile(std::move(bytes), error);
    if (icon)
        icon->path = file.getPath().c_str();
    return icon;
}

wxIcon CIconFile::GetIcon(int size) const
{
    if (!m_icon)
        return wxIcon();
    const ico::IconImage* found = ico::FindImage(*m_icon, size);
    if (found == nullptr)
        return wxIcon();

    wxImage image;
    if (found->png)
    {
        image = DecodePng(m_icon->Data(*found));
    }
    else if (std::optional<ico::RgbaImage> rgba = ico::DecodeBitmapImage(*m_icon, *found))
    {
        image = ToWxImage(*rgba);
    }
    // The PNG's own header said size by size; a body that disagrees is refused.
    if (!image.IsOk() || image.GetWidth() != size || image.GetHeight() != size)
        return wxIcon();
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}
