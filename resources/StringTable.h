#pragma once

#include "foundation/uString.h"
#include "foundation/uTranslation.h"

#include <string>
#include <string_view>

// The string table: texts the program shows, under their original ids.
namespace resources
{
struct StringEntry
{
    int id;
    std::string_view text;
    // A text shown after a number has its plural here, for the catalog; the
    // program's own language shows the text itself whatever the number.
    std::string_view plural = {};
};

inline constexpr StringEntry kStringTable[] = {
    // The document string: file type "Kestrova.Document", extension ".opml".
    {128, "Kestrova\n\nKestrova\nKestrova Files (*.opml)\n.opml\nKestrova.Document\nKestrova Document"},
    // Prompts of the tool bars' commands, for the status bar, then the tip.
    {129, "Save the active webpage, news feed or news outline\nSave"},
    {224, "Look for news feeds offered by the page in the browser\nLook for News Feed from Current Page"},
    // Drop-down entries of the preferences pages.
    {2129, "5 min."},
    {2131, "30 min."},
    {2132, "1 hour"},
    {2133, "2 hour"},
    {2134, "4 hour"},
    {2135, "8 hour"},
    {2136, "15 sec."},
    {2137, "30 sec."},
    {2138, "5 sec."},
    {2139, "1 min."},
    {2140, "minute", "minutes"},
    {2141, "hour", "hours"},
    {2142, "days"},
    // Messages and captions.
    {3000, "News Feeds Directory Service"},
    {3001, "Failed to load/parse XML Document"},
    {3002, "Failed to load directory info from %s"},
    {3003, "%s is not a valid feed directory URL."},
    {3004, "Can not download the directory URL from %s."},
    {3005, "Please enter news feed URL."},
    {3006, "Please enter news watch title."},
    {3007, "Please enter news watch keyword(s)."},
    {3008, "Invalid OPML Document"},
    {3009, "Failed to download %s"},
    {3010, "The specified newsfeed URL is already in subcription collection. "},
    {3011, "Failed to load configuration file."},
    {3012, "Database file does not exist."},
    {3013, "Are you sure you want to unsubscribe the newsfeed?"},
    {3014, "Are you sure you want to unsubscribe '%s'?"},
    {3015, "Are you sure you want to delete database '%s'"},
    {3016, "Are you sure you want to remove '%s'?"},
    {3017, "You can not remove the channel '%s'."},
    {3018, "A new update is available. Do you want to download now?"},
    {3019, "Specified database (%s) does not exist."},
    {3020, "Database filename is empty."},
    {3021, "Search phrase can not be empty."},
    {3022, "Your search for \"%s\" return 0 result."},
    {3023, "%s contains only OPML outline information, instead of a RSS feed."},
    {3024, "%s return a normal webpage, instead of a RSS feed."},
    {3025, "%s return a document with unknow format, instead of a RSS feed."},
    {3026, "Unexpected error to modify \"%s\"."},
    {3027, "This page does not contain any RSS feeds."},
    {3029, "No downloaded media available for playing."},
    {3030, "Please manually create a playlist named \"Kestrova\" in iTunes' Library, and try again."},
    {3032, "The directory %s does not exist."},
    {3034, "No Limit"},
    {3035, "Import RSS From File ..."},
    {3045, "  Address "},
    {3055, "Your email address is not valid."},
    {3056, "Mail sent successfully"},
    {3057, "Mail failed to deliver"},
    // Added with the address rule of feeds/FeedAddress.h; the addresses follow.
    {3058, "Only http, https and ftp feed addresses are subscribed. Skipped:"},
    // Keeping an item whose archive folder cannot be made: the item link, the folder.
    {3059, "Cannot save the page of %s in %s"},
    // Feeds refused by the reader's limits and address rule.
    {3060, "Refused the feed: the document is larger than 64 MiB"},
    {3061, "Refused the feed: its entities expand to more than 1 MiB"},
    {3062, "Refused the feed: its elements nest deeper than 1000 levels"},
    {3063, "Refused the feed: a link stands under an xml:base longer than 8 KiB"},
    {3064, "Refused the feed address: only http, https and ftp addresses are fetched."},
    // Why an outline file was refused (after 3001).
    {3065, "The file is too deeply nested: its elements go more than 1000 levels deep."},
    {3066, "The file's entity declarations are refused: outline files never need them, and these expand "
           "beyond any list of feeds."},
    {3067, "The file is larger than 32 MB, more than any list of feeds needs."},
    {3068, "The file is not an XML document."},
    {3069, "The file declares a document type, which outline files never do."},
    {3070, "The file is damaged or ends before its document is complete."},
    {3071, "The file cannot be read."},
    // Status-bar texts: an import, Remove All Outdated Feeds, the refresh and download workers.
    {3072, "Imported %zu feeds (%zu already subscribed)"},
    {3073, "Removing outdated feed from %s"},
    {3074, "done"},
    {3075, "Compacting database %s"},
    {3076, "Checking Feed %s"},
    {3077, "Downloading %s"},
    // A damaged settings file: its path, then the name it was kept under.
    {3078, "%s is damaged and could not be moved aside; defaults are used."},
    {3079, "%s was damaged and has been kept as %s; defaults are used."},
    // A download of the browser pane saved where the user chose, or not: the file.
    {3080, "Saved %s"},
    {3081, "Failed to save %s"},
    // A download saved beside the file the user chose, which stays: where it went, then that file.
    {3082,
     "The download was saved as %s. %s was kept as it was: the end of this download cannot be checked."},
    {3083, "The download was saved as %s. %s was kept as it was: another file took that name while the "
           "download ran."},
    // What sending a mail is doing now: the host or the domain.
    {3090, "Connecting to %s"},
    {3091, "The server %s asks for a login"},
    {3092, "Looking up the mail exchangers of %s"},
    // A torrent's sizes in the BitTorrent manager's Summary.
    {3093, "%llu bytes"},
    // The desktop's opener missing or without a program for it: the file, folder or playlist.
    {3094, "%s could not be opened."},
    // The file dialogs: their title, and the question before a save replaces a file (its path).
    {3095, "Select a file"},
    {3096, "%s already exists.\nDo you want to replace it?"},
    // The names of the save and open dialogs' filters, before their patterns.
    {3097, "Current Webpage (*.htm; *.html)"},
    {3098, "News/Podcast Feed (*.rss)"},
    {3099, "Subscription Outlines (*.opml)"},
    {3100, "Subscription Outline Files (*.opml; *.xml)"},
    {3101, "All Files (*.*)"},
    // The window title's word for a selected news watch.
    {3102, "News Watch"},
    // The first list of a new subscription tree.
    {3103, "My Feeds"},
    // The links of the item pages' shipped templates.
    {3104, "Read the full story on the website"},
    {3105, "Listen to this episode"},
    {3106, "Watch this video"},
    {3107, "Open the attachment"},
    // The name of the torrent file dialog's filter.
    {3108, "Open Torrent File (*.torrent)"},
    // A download of the browser pane whose save the user cancelled: the name it was offered under.
    {3109, "Download of %s cancelled"},
    // A torrent not added: the name its data would take in the torrent folder, which another torrent holds.
    {3110, "The torrent was not added: another torrent keeps its data under the same name, %s, in the "
           "torrent folder."},
    // A whole download of the browser pane its file system would not move to the name chosen: where it is,
    // that name.
    {3111, "The download was saved as %s: the file system there would not give it the name %s."},
    {32770, "Subscribe to a new news feed\nNew Subscription"},
    {32776, "Check the subscribed feeds for new items now\nRefresh Now"},
    {32785, "Open a web address in the browser\nOpen URL"},
    {32791, "Start the waiting downloads now\nDownload Now"},
    {32792, "Search the feed items with the query tool\nFind"},
    {32793, "Search the chosen list for the phrase typed\nFind"},
    {32798, "Remove the outdated items of every list\nRemove All Outdated Feeds"},
    {32812, "Export/Play Current Podcast\nExport Playlists and Launch It in Default Player"},
    {57345, "Ready"}, // AFX_IDS_IDLEMESSAGE
    {57607, "Print the page shown in the browser\nPrint"},
    {57664, "Display program information, version number and copyright\nAbout Kestrova"},
    {59137, "CAP"},                                        // ID_INDICATOR_CAPS
    {59138, "NUM"},                                        // ID_INDICATOR_NUM
    {59139, "SCRL"},                                       // ID_INDICATOR_SCRL
    {61714, "Please enter an integer between %1 and %2."}, // AFX_IDP_PARSE_INT_RANGE
};

/// The text of a string id; empty when the table has no such id.
// In the interface language.
inline std::string_view FindString(int id)
{
    for (const StringEntry& entry : kStringTable)
    {
        if (entry.id == id)
            return uTr(entry.text);
    }
    return {};
}

/// The form of a string id's text that goes with the number n; empty when
/// the table has no such id.
inline std::string_view FindPluralString(int id, unsigned long n)
{
    for (const StringEntry& entry : kStringTable)
    {
        if (entry.id == id)
            return uTrPlural(entry.text, n);
    }
    return {};
}

/// The English text of a string id, whatever the interface language.
inline std::string_view OriginalString(int id)
{
    for (const StringEntry& entry : kStringTable)
    {
        if (entry.id == id)
            return entry.text;
    }
    return {};
}

/// The prompt of a command: its text up to the line break, which the tip
/// follows. Empty when the table has no text for the command.
inline std::string_view CommandPrompt(int command)
{
    std::string_view text = FindString(command);
    return text.substr(0, text.find('\n'));
}

/// The tip of a command: its text after the line break, the command's short
/// name. Empty when the table has no tip for the command.
inline std::string_view CommandTip(int command)
{
    std::string_view text = FindString(command);
    const std::size_t lineBreak = text.find('\n');
    return lineBreak == std::string_view::npos ? std::string_view() : text.substr(lineBreak + 1);
}

/// The same text as a string of the program's own, ready for a format.
inline uString StringText(int id)
{
    return uString(std::string(FindString(id)).c_str());
}
} // namespace resources
