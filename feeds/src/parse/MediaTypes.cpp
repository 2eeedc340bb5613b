#include "feeds/MediaTypes.h"

namespace
{

// Suffix lists end with a null entry.
bool endsWithAny(const uString& text, const char* const* suffixes)
{
    for (; *suffixes; ++suffixes)
        if (text.endsWith(*suffixes))
            return true;
    return false;
}

const char* const kAudioExtensions[] = {".mpga", ".mp2", ".mp3",  ".m4a",  ".wma", ".mka", ".ra",
                                        ".ram",  ".mid", ".midi", ".aiff", ".wav", nullptr};
const char* const kVideoExtensions[] = {".wmv", ".mpeg", ".mpg", ".mpe",  ".m4v", ".mp4", ".mov",
                                        ".qt",  ".rm",   ".swf", ".divx", ".mkv", ".avi", nullptr};

struct MimeRow
{
    const char* extensions[6];
    const char* type;
};

// Tried in this order; the first row with a matching suffix wins.
const MimeRow kMimeRows[] = {
    {{".mpga", ".mp2", ".mp3", ".m4a"}, "audio/mpeg"},
    {{".wma", ".mka"}, "audio/ms-audio"},
    {{".ra", ".ram"}, "audio/x-realaudio"},
    {{".mid", ".midi"}, "audio/midi"},
    {{".aiff"}, "audio/x-aiff"},
    {{".wav"}, "audio/x-wav"},
    {{".wmv"}, "video/ms-video"},
    {{".mpeg", ".mpg", ".mpe", ".m4v", ".mp4"}, "video/mpeg"},
    {{".mov", ".qt"}, "video/quicktime"},
    {{".rm"}, "video/x-realmedia"},
    {{".divx", ".mkv", ".avi"}, "video/x-msvideo"},
};

} // namespace

bool IsAudioType(uString type)
{
    type.makeLower();
    return type.startsWith("audio") || type.startsWith("x-audio");
}

bool IsVideoType(uString type)
{
    type.makeLower();
    return type.startsWith("video") || type.startsWith("x-video");
}

bool IsOtherMediaType(uString type)
{
    type.makeLower();
    if (type.startsWith("application") && !type.endsWith("x-shockwave-flash"))
        return true;
    return type.equalsNoCase("unknown");
}

bool IsHtmlType(uString type)
{
    type.makeLower();
    return type.startsWith("text/html");
}

bool IsTorrentType(uString type)
{
    type.makeLower();
    return type.startsWith("application/x-bittorrent") || type.endsWith(".torrent");
}

bool IsStreamType(uString type)
{
    type.makeLower();
    return type.startsWith("application/x-shockwave-flash") || type.endsWith(".swf") ||
           type.startsWith("rtsp://") || type.startsWith("mms://");
}

bool IsAudioFileName(uString name)
{
    name.makeLower();
    return endsWithAny(name, kAudioExtensions);
}

bool IsMediaFileName(uString name)
{
    name.makeLower();
    return endsWithAny(name, kAudioExtensions) || endsWithAny(name, kVideoExtensions);
}

uString GetMimeTypeFromExtension(uString name)
{
    name.makeLower();
    for (const MimeRow& row : kMimeRows)
        if (endsWithAny(name, row.extensions))
            return uString(row.type);
    return uString("application/unknown");
}
