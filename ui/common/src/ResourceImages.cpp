#include "common/ResourceImages.h"

#include "EmbeddedImages.h"

#include <wx/image.h>
#include <wx/mstream.h>

namespace ui
{
wxBitmap LoadResourceBitmap(int id)
{
    for (std::size_t i = 0; i < resources::kEmbeddedImageCount; ++i)
    {
        const resources::EmbeddedImage& entry = resources::kEmbeddedImages[i];
        if (entry.id != id || entry.data == nullptr)
            continue;
        if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
            wxImage::AddHandler(new wxPNGHandler);
        wxMemoryInputStream stream(entry.data, entry.size);
        wxImage image;
        if (!image.LoadFile(stream, wxBITMAP_TYPE_PNG))
            return wxBitmap();
        return wxBitmap(image);
    }
    return wxBitmap();
}
} // namespace ui
