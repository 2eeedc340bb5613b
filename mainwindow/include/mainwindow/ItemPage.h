#pragma once

#include "feeds/FeedRecords.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

// The pages the program writes into the browser pane, built as text. Nothing
// here needs a window; CHtmlCtrl::WriteHtml puts the result on screen.
//
// Plain-text fields (titles, links) are HTML-escaped, links must use a scheme
// the pane may open, and the item description stays HTML as the feed sent it.
// The page policy that turns scripts off is added by WriteHtml, so it covers
// every page we write, these and any other.
namespace itempage
{
// "news.template", "audio.template", "video.template" or "cdrom.template" for
// item kinds 0, 1, 2/6 and 3/5 (any other kind reads as plain).
const char* TemplateName(int kind);

// &, <, >, " and ' as character references.
uString HtmlEscape(const uString& text);
// True for http, https and ftp links and file paths (case ignored); an
// enclosure may also be a stream (rtsp, mms) or a file the pane's own scheme
// serves (htmlctrl::PageFileUrl).
bool IsSafeLink(const uString& link);
// True for http, https and ftp links (case ignored): the only addresses an
// item's text may take as the base of its relative references.
bool IsNetworkLink(const uString& link);
bool IsSafeEnclosureLink(const uString& link);
// "file://" and the absolute path, every byte but letters, digits, "-", ".",
// "_", "~" and "/" percent-encoded.
uString FileUri(const uString& path);

// The scripts-off policy as a meta element, and the page with it put first
// (after a leading doctype, which must stay first).
const char* PagePolicyMeta();
uString WithPagePolicy(const uString& html);

struct Fields
{
    uString title;       // plain text
    uString description; // HTML
    uString enclosure;   // a link: the local file as a file URI, or the remote address
    uString link;        // a link
};

// The item text with its relative references (href, src, srcset, poster,
// action and the like) made absolute against `base`, the item's address: a
// written page's own address is the program's, which serves none of them.
// References with a scheme and those to a place in the page ("#top") stay
// as written; a base element of the text's own is dropped, as it would move
// the template's references too. Without a network base (IsNetworkLink)
// the text is returned unchanged: a file base would point its references at
// the reader's own files.
uString ResolveReferences(const uString& html, const uString& base);

// Replaces "##title##", "##description##", "##enclosure##" and "##link##" at
// every occurrence in one pass, so a value that contains a placeholder is
// never expanded again. An empty value (or a link of a refused scheme)
// removes its placeholder.
uString FillTemplate(const uString& templateText, const Fields& fields);

// The page when the template cannot be read.
uString FallbackPage(const uString& title, const uString& description);

// The channel's image as a page: empty unless the image has a link and a URL.
// Width and height are copied only when they are plain digits.
uString ChannelImagePage(const CChannelRecord& channel);

// What "##enclosure##" stands for. With a downloaded file: the address in the
// pane's own scheme (htmlctrl::PageFileUrl) of the file under the configured
// library, or under the start-up library when it is not in the first; kind 3
// points at the file's folder instead; `localPath` then receives that path,
// which the page must be allowed to reach. Without one: the enclosure's
// remote address.
uString EnclosureReference(const CItemRecord& item, int kind, const uFile& libraryDir,
                           const uFile& defaultLibraryDir, uString* localPath = nullptr);

// Reads "<templateDir>/<name of the kind's template>" whole; false when it
// cannot be read.
bool ReadTemplate(const uString& templateDir, int kind, uString& text);

// The whole item page: the kind's template filled, with the shipped links'
// texts in the interface language (those the user wrote stay as written), or
// the fallback page.
uString RenderItem(const uString& templateDir, int kind, const Fields& fields);
} // namespace itempage
