#pragma once

#include "foundation/uHtmlParser.h"
#include "foundation/uString.h"

#include <vector>

// Finds the first form of a page that has a password input and collects its
// method, action and the named inputs a login needs (text, password, submit,
// hidden and untyped ones). The value of a password input is the marker
// "_auth_"; the caller fills in the real values before submitting.
class CLoginFormHandler : public uHtmlHandler
{
public:
    static constexpr const char* kPasswordMarker = "_auth_";

    CLoginFormHandler();
    ~CLoginFormHandler() override;

    void onBegin(uHtmlParser& parser, bool& stop) override;
    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override;
    void onEndTag(const uString& name, uHtmlParser& parser, bool& stop) override;

    // The URL of the page; relative actions are resolved against it.
    void SetBaseURL(const uString& pageUrl);
    // The absolute URL the form is submitted to.
    uString GetActionURL() const;

    bool IsPostMethod() const { return m_method.equalsNoCase("post"); }
    bool SawPasswordInput() const { return m_passwordSeen; }
    const std::vector<uString>& GetNames() const { return m_names; }
    std::vector<uString>& GetValues() { return m_values; }

private:
    void StartForm(uHtmlParser& parser);
    void TakeInput(uHtmlParser& parser);
    void ForgetForm();

    bool m_inForm = false;
    bool m_passwordSeen = false;
    uString m_method;
    uString m_action;
    uString m_pageUrl;
    uString m_baseUrl; // directory URL, ending in "/"
    uString m_siteRoot;
    std::vector<uString> m_names;
    std::vector<uString> m_values;
};
