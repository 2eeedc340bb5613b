#include "feeds/LoginFormHandler.h"

#include "feeds/PageUrl.h"

namespace
{

uString AttributeOrEmpty(uHtmlParser& parser, const char* name)
{
    const uString* value = parser.getAttributes().getValue(name);
    return value ? *value : uString();
}

} // namespace

CLoginFormHandler::CLoginFormHandler() = default;

CLoginFormHandler::~CLoginFormHandler() = default;

void CLoginFormHandler::onBegin(uHtmlParser&, bool& stop)
{
    stop = false;
}

void CLoginFormHandler::SetBaseURL(const uString& pageUrl)
{
    m_pageUrl = pageUrl;
    pageurl::TakePageBase(pageUrl, m_siteRoot, m_baseUrl);
}

uString CLoginFormHandler::GetActionURL() const
{
    pageurl::PageBase base;
    pageurl::SplitPageUrl(m_pageUrl, base);
    // A base element may have moved the directory (and the site) away from the page's own.
    base.directory = m_baseUrl;
    if (!m_siteRoot.isEmpty())
        base.siteRoot = m_siteRoot;
    return pageurl::ResolveAction(base, m_action);
}

void CLoginFormHandler::ForgetForm()
{
    m_names.clear();
    m_values.clear();
    m_passwordSeen = false;
}

void CLoginFormHandler::StartForm(uHtmlParser& parser)
{
    m_inForm = true;
    ForgetForm();
    // Each form has its own method and action: a login form without them must
    // not inherit those of a search form before it. HTML's default is GET to
    // the page itself.
    m_method = AttributeOrEmpty(parser, "method").equalsNoCase("post") ? "post" : "get";
    m_action = AttributeOrEmpty(parser, "action");
}

void CLoginFormHandler::TakeInput(uHtmlParser& parser)
{
    uString type = AttributeOrEmpty(parser, "type");
    bool password = type.equalsNoCase("password");
    if (password)
        m_passwordSeen = true;
    const uString* name = parser.getAttributes().getValue("name");
    if (!name)
        return;
    if (!type.isEmpty() && !password && !type.equalsNoCase("text") && !type.equalsNoCase("submit") &&
        !type.equalsNoCase("hidden"))
        return;
    m_names.push_back(*name);
    m_values.push_back(password ? uString(kPasswordMarker) : AttributeOrEmpty(parser, "value"));
}

void CLoginFormHandler::onStartTag(const uString& name, uHtmlParser& parser, bool& stop)
{
    stop = false;
    if (name.equalsNoCase("base"))
    {
        uString href = AttributeOrEmpty(parser, "href");
        if (href.isEmpty())
            return;
        if (!href.endsWith("/"))
            href += "/";
        pageurl::PageBase page;
        pageurl::SplitPageUrl(m_pageUrl, page);
        pageurl::PageBase moved;
        if (pageurl::SplitPageUrl(pageurl::ResolveLink(page, href), moved))
        {
            m_baseUrl = moved.directory;
            m_siteRoot = moved.siteRoot;
        }
    }
    else if (name.equalsNoCase("form"))
    {
        // Forms do not nest: a new form ends one that never closed.
        if (m_inForm && m_passwordSeen)
        {
            stop = true;
            return;
        }
        StartForm(parser);
    }
    else if (m_inForm && name.equalsNoCase("input"))
    {
        TakeInput(parser);
    }
}

void CLoginFormHandler::onEndTag(const uString& name, uHtmlParser&, bool& stop)
{
    stop = false;
    if (!m_inForm || !name.equalsNoCase("form"))
        return;
    m_inForm = false;
    if (m_passwordSeen)
        stop = true;
    else
        ForgetForm();
}
