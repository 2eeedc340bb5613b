#include "common/Clipboard.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

bool IsClipboardTextAvailable()
{
    if (!wxTheClipboard->Open())
        return false;
    bool available = wxTheClipboard->IsSupported(wxDF_UNICODETEXT) || wxTheClipboard->IsSupported(wxDF_TEXT);
    wxTheClipboard->Close();
    return available;
}

uString GetClipboardText()
{
    uString text;
    if (!wxTheClipboard->Open())
        return text;
    wxTextDataObject data;
    if (wxTheClipboard->GetData(data))
        text = data.GetText().utf8_str().data();
    wxTheClipboard->Close();
    return text;
}

bool SetClipboardText(const uString& text)
{
    if (!wxTheClipboard->Open())
        return false;
    bool placed = wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text.c_str())));
    wxTheClipboard->Close();
    return placed;
}
