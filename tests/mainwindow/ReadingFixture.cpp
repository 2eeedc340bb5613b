#include "ReadingFixture.h"

#include "GuiTestSupport.h"
#include "mainwindow/HtmlCtrl.h"

#include <filesystem>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/webview.h>

namespace reading
{
namespace
{
// Three stories, newest first as feeds list them; the middle one has an
// audio enclosure, the first a title and description that try to inject markup.
const char* const kFeedTemplate = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0"><channel>
<title>Loopback News</title><link>@/</link><description>Test feed</description>
<image><url>@/logo.png</url><title>Loopback "News"</title><link>@/</link>
<width>88</width><height>31</height></image>
<item><title>Charlie &lt;b&gt;##link##&lt;/b&gt;</title><link>@/charlie</link><author>bob@example.org</author>
<category>Zoo</category><description>&lt;p&gt;Zebra ##enclosure##&lt;/p&gt;&lt;script&gt;document.title='hacked'&lt;/script&gt;</description>
<pubDate>Wed, 04 Jan 2023 10:00:00 GMT</pubDate></item>
<item><title>Bravo episode</title><link>@/bravo</link><author>amy@example.org</author>
<category>Audio</category><description>Listen to this</description>
<enclosure url="@/media/bravo.mp3" length="1000" type="audio/mpeg"/>
<pubDate>Tue, 03 Jan 2023 10:00:00 GMT</pubDate></item>
<item><title>Alpha story</title><link>@/alpha</link><author>zed@example.org</author>
<category>World</category><description>&lt;p&gt;First &lt;b&gt;bold&lt;/b&gt; words&lt;/p&gt;</description>
<pubDate>Mon, 02 Jan 2023 10:00:00 GMT</pubDate></item>
</channel></rss>)";

// An 88 by 31 channel logo: orange with a dark band.
std::string LogoPng()
{
    wxImage image(88, 31);
    image.SetRGB(wxRect(0, 0, 88, 31), 240, 140, 20);
    image.SetRGB(wxRect(0, 12, 88, 7), 40, 40, 60);
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    wxMemoryOutputStream out;
    image.SaveFile(out, wxBITMAP_TYPE_PNG);
    std::string bytes(out.GetSize(), '\0');
    out.CopyTo(bytes.data(), bytes.size());
    return bytes;
}

wxBitmap Square(const wxColour& colour)
{
    wxBitmap bitmap(16, 16);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(colour));
    dc.Clear();
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}
} // namespace

std::string Text(const uString& text)
{
    return std::string(text.c_str(), static_cast<size_t>(text.getLength()));
}

ReadingFixture::ReadingFixture()
{
    // The program folder: the list template and the item templates.
    std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, m_config.program().file("subscription/default.mdb"));
    for (const char* name : {"news.template", "audio.template", "video.template", "cdrom.template"})
    {
        std::filesystem::create_directories(m_config.program().file("template"));
        std::filesystem::copy_file(std::string(KESTROVA_TEMPLATE_SOURCE) + "/" + name,
                                   m_config.program().file(std::string("template/") + name));
    }
    std::string feed = kFeedTemplate;
    const std::string base = m_server.url("/");
    for (std::size_t at = feed.find("@/"); at != std::string::npos; at = feed.find("@/", at))
        feed.replace(at, 2, base);
    m_server.serveContent("/feed.xml", feed, "application/rss+xml");
    m_server.serveContent("/logo.png", LogoPng(), "image/png");
    m_server.serveContent("/alpha", "<html><body><h1>Alpha on the web</h1></body></html>", "text/html");
    m_server.serveContent("/bravo", "<html><body><h1>Bravo on the web</h1></body></html>", "text/html");
    m_server.serveContent("/charlie", "<html><body><h1>Charlie on the web</h1></body></html>", "text/html");

    for (const wxColour& colour : {*wxWHITE, *wxBLUE, *wxLIGHT_GREY, *wxRED, *wxGREEN, *wxCYAN, *wxBLACK})
        m_images.Add(Square(colour));
    while (m_images.GetImageCount() < 20)
        m_images.Add(Square(wxColour(200, 120, 0)));

    m_frame = new wxFrame(nullptr, wxID_ANY, "Kestrova", wxPoint(0, 0), wxSize(1000, 700));
    auto* splitter = new wxSplitterWindow(m_frame, wxID_ANY);
    m_list = new CKestrovaView(splitter, wxID_ANY);
    m_list->SetImageList(&m_images, wxIMAGE_LIST_SMALL);
    uString templates = CPreference::GetInstance()->GetProgramDir() + "/template";
    m_browser = new CWebBrowserFrame(splitter, wxID_ANY, templates);
    splitter->SplitHorizontally(m_list, m_browser, 220);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(splitter, 1, wxEXPAND);
    m_frame->SetSizer(sizer);

    m_reader = std::make_unique<CItemReader>(*m_list, *m_browser);
    CItemReader::Hooks hooks;
    hooks.refreshFeedLabel = [this] { ++m_labelRefreshes; };
    m_reader->SetHooks(hooks);
    CKestrovaView::Hooks viewHooks;
    viewHooks.showSelectedItem = [this] { m_reader->ShowSelectedItem(); };
    viewHooks.openItem = [this](int doubleClick) { m_reader->OpenListItem(doubleClick); };
    viewHooks.showNextItem = [this](int key) { m_reader->ShowNextItem(key); };
    m_list->SetHooks(viewHooks);

    m_frame->Show();
    guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
}

ReadingFixture::~ReadingFixture()
{
    m_reader.reset();
    guitest::DestroyWindow(m_frame);
    CPageSaveTask::CancelAllAndWait(30000);
}

void ReadingFixture::Subscribe()
{
    CFeedStore fetched(uString(FeedUrl().c_str()), /*showMessages=*/false);
    ASSERT_EQ(fetched.errorCode, 0) << Text(fetched.errorText);
    fetched.channel.link = FeedUrl().c_str();
    fetched.SaveChannel(uString("default.mdb"), false, /*subscribe=*/true, false, false);
    ASSERT_EQ(fetched.errorCode, 0) << Text(fetched.errorText);
}

void ReadingFixture::SelectFeed()
{
    CFeedStore store;
    store.SetDatabase(uString("default.mdb"));
    store.LoadChannel(uString("default.mdb"), uString(FeedUrl().c_str()));
    ASSERT_EQ(store.errorCode, 0) << Text(store.errorText);
    m_reader->FillItemList(store);
    m_reader->ShowChannelImage(store.channel, uString(FeedUrl().c_str()));
}

std::string ReadingFixture::Query(const std::string& sql)
{
    CFeedStore store;
    store.SetDatabase(uString("default.mdb"));
    store.EnsureOpen(false);
    if (!store.dataObject.query(sql.c_str()))
        return "<error>";
    uString value;
    bool found = store.dataObject.getFieldString(0, value);
    store.dataObject.closeQuery();
    return found ? Text(value) : "<none>";
}

int ReadingFixture::Unread()
{
    CFeedStore store;
    store.SetDatabase(uString("default.mdb"));
    return store.CountUnread(uString(FeedUrl().c_str()));
}

std::string ReadingFixture::WaitForPage(const std::string& text)
{
    return guitest::WaitForPage(*m_browser->GetHtmlCtrl()->GetWebView(), text);
}

wxPoint ReadingFixture::RowPoint(int row, int x)
{
    wxRect rect;
    m_list->GetItemRect(row, rect);
    return m_list->ClientToScreen(wxPoint(rect.x + x, rect.y + rect.height / 2));
}
} // namespace reading
