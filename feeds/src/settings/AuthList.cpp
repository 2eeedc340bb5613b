#include "feeds/AuthList.h"

#include "XmlAttributes.h"
#include "foundation/uBase64.h"
#include "foundation/uFile.h"

using namespace xercesc;

CAuthEntry::CAuthEntry(const char* url, const char* user, const char* password)
    : url(url), user(user), password(password)
{
}

bool CAuthEntry::Matches(const CAuthEntry& other) const
{
    return url.compareNoCase(other.url) == 0;
}

std::list<CAuthEntry>::iterator CAuthList::findLocked(const char* url)
{
    const CAuthEntry probe(url, nullptr, nullptr);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->Matches(probe))
            return it;
    return m_entries.end();
}

std::list<CAuthEntry>::const_iterator CAuthList::findLocked(const char* url) const
{
    return const_cast<CAuthList*>(this)->findLocked(url);
}

void CAuthList::addLocked(const char* url, const char* user, const char* password)
{
    if (findLocked(url) == m_entries.end())
        m_entries.emplace_back(url, user, password);
}

bool CAuthList::Contains(const char* url) const
{
    std::lock_guard hold(m_lock);
    return findLocked(url) != m_entries.end();
}

bool CAuthList::GetCredentials(const char* url, uString& user, uString& password) const
{
    std::lock_guard hold(m_lock);
    auto found = findLocked(url);
    if (found == m_entries.end())
        return false;
    user = found->user;
    password = found->password;
    return true;
}

bool CAuthList::SetCredentials(const char* url, const char* user, const char* password)
{
    std::lock_guard hold(m_lock);
    auto found = findLocked(url);
    if (found == m_entries.end())
        return false;
    found->user.assign(user);
    found->password.assign(password);
    return true;
}

bool CAuthList::Add(const char* url, const char* user, const char* password)
{
    std::lock_guard hold(m_lock);
    addLocked(url, user, password);
    return true;
}

void CAuthList::FindOrAdd(const char* url, const char* user, const char* password)
{
    std::lock_guard hold(m_lock);
    auto found = findLocked(url);
    if (found != m_entries.end())
        m_entries.erase(found);
    addLocked(url, user, password);
}

void CAuthList::Remove(const char* url)
{
    std::lock_guard hold(m_lock);
    auto found = findLocked(url);
    if (found != m_entries.end())
        m_entries.erase(found);
}

bool CAuthList::GetUrls(std::vector<uString>& urls) const
{
    urls.clear();
    std::lock_guard hold(m_lock);
    for (const CAuthEntry& entry : m_entries)
        urls.push_back(entry.url);
    return !urls.empty();
}

bool CAuthList::Load(const uFile& path)
{
    if (path.getPath().isEmpty() || !path.exists())
        return true;
    uXmlDocument document;
    if (!document.load(path.getPath().c_str(), true, true, false, true) || document.isPartial())
        return false;
    DOMElement* root = document.getDocumentElement();
    if (!root || uString(root->getTagName()) != uString("Auth"))
        return false;

    DOMNodeList* entries = root->getElementsByTagName(u"entry");
    std::lock_guard hold(m_lock);
    for (XMLSize_t i = 0; entries && i < entries->getLength(); ++i)
    {
        const auto* element = dynamic_cast<const DOMElement*>(entries->item(i));
        uString url = xmlattr::Get(element, u"url");
        uString user = xmlattr::Get(element, u"user");
        uString auth = xmlattr::Get(element, u"auth");
        uString cryptoType = xmlattr::Get(element, u"crypto-type");
        if (url.isEmpty() || user.isEmpty())
            continue;
        // Any other crypto-type means the text is the password as it stands.
        uString password =
            (cryptoType.isEmpty() || cryptoType == uString("base64")) ? Base64Decode(auth) : auth;
        addLocked(url.c_str(), user.c_str(), password.c_str());
    }
    return true;
}

bool CAuthList::Save(const uFile& path) const
{
    if (path.getPath().isEmpty())
        return false;
    uXmlDocument document(u"Auth", nullptr, nullptr);
    DOMElement* root = document.getDocumentElement();
    if (!root)
        return false;
    {
        std::lock_guard hold(m_lock);
        for (const CAuthEntry& entry : m_entries)
        {
            DOMElement* element = xmlattr::AppendElement(document, root, u"entry");
            if (!element)
                return false;
            xmlattr::Set(element, u"url", entry.url.c_str());
            xmlattr::Set(element, u"user", entry.user.c_str());
            xmlattr::Set(element, u"auth", Base64Encode(entry.password).c_str());
            xmlattr::Set(element, u"crypto-type", "base64");
        }
    }
    document.setStandalone(true);
    return document.save(path.getPath().c_str(), 0600);
}
