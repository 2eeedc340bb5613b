#include "feeds/PageSave.h"

CPageHeadHandler::CPageHeadHandler() = default;

CPageHeadHandler::~CPageHeadHandler() = default;

void CPageHeadHandler::onBegin(uHtmlParser&, bool& stop)
{
    stop = false;
    m_started = true;
    m_outsideScript = true;
    m_inStyle = false;
}

void CPageHeadHandler::onStartTag(const uString& name, uHtmlParser& parser, bool& stop)
{
    stop = false;
    const uHtmlAttributes& attributes = parser.getAttributes();
    if (name.equalsNoCase("base"))
    {
        const uString* href = attributes.getValue("href");
        if (href && !href->isEmpty())
        {
            m_baseHref = *href;
            if (!m_baseHref.endsWith("/"))
                m_baseHref += "/";
        }
    }
    // An HTML5 page names its encoding with <meta charset>; without it the
    // offline copy would be read in the browser's default encoding.
    else if (name.equalsNoCase("meta") &&
             (attributes.getValue("http-equiv") || attributes.getValue("charset")))
    {
        m_metaLines += "<meta ";
        m_metaLines += parser.getAttributeText();
        m_metaLines += "\r\n";
    }
    else if (name.equalsNoCase("link") && attributes.getValue("rel"))
    {
        m_linkLines += "<link ";
        m_linkLines += parser.getAttributeText();
        m_linkLines += "\r\n";
    }

    if (m_started)
    {
        if (name.equalsNoCase("body"))
            m_inBody = true;
        else if (name.equalsNoCase("style"))
            m_inStyle = true;
        else if (name.equalsNoCase("script"))
            m_outsideScript = false;
    }
    if (!Copying())
        return;
    m_body += "<";
    // The attribute text ends with the tag's ">"; only for a tag whose ">"
    // follows its name it is the name and ">" already ("<br/>" gives "/>").
    if (parser.hasAttributes() || !(parser.getAttributeText() == name + ">"))
    {
        m_body += name;
        m_body += " ";
    }
    m_body += parser.getAttributeText();
    m_body += "\r\n";
}

void CPageHeadHandler::onEndTag(const uString& name, uHtmlParser&, bool& stop)
{
    stop = false;
    if (!m_started)
        return;
    if (Copying())
    {
        m_body += "</";
        m_body += name;
        m_body += ">\r\n";
    }
    if (name.equalsNoCase("body"))
        m_inBody = false;
    else if (name.equalsNoCase("style"))
        m_inStyle = false;
    else if (name.equalsNoCase("script"))
        m_outsideScript = true;
}

void CPageHeadHandler::onText(const uString& text, uHtmlParser&, bool& stop)
{
    stop = false;
    if (!Copying())
        return;
    m_body += text;
    m_body += "\r\n";
}
