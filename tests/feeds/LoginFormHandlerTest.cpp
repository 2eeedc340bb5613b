#include "feeds/LoginFormHandler.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

struct ScannedForm
{
    std::string action;
    bool post = false;
    bool password = false;
    std::vector<std::string> names;
};

ScannedForm Scan(const std::string& pageUrl, const std::string& html)
{
    uHtmlParser parser;
    auto* form = new CLoginFormHandler();
    parser.setHandler(form);
    form->SetBaseURL(pageUrl.c_str());
    parser.parseBuffer(html.c_str(), static_cast<int>(html.size()));
    ScannedForm scanned{form->GetActionURL().c_str(), form->IsPostMethod(), form->SawPasswordInput(), {}};
    for (const uString& name : form->GetNames())
        scanned.names.push_back(name.c_str());
    return scanned;
}

std::string ActionOf(const std::string& pageUrl, const std::string& formTag)
{
    return Scan(pageUrl, formTag + "<input type=password name=p></form>").action;
}

} // namespace

TEST(LoginFormHandlerTest, ResolvesTheActionAgainstThePage)
{
    const std::string page = "http://site.test:8080/dir/login.php?next=/a/b#top";
    EXPECT_EQ(ActionOf(page, "<form action=\"session\">"), "http://site.test:8080/dir/session");
    EXPECT_EQ(ActionOf(page, "<form action=\"/auth\">"), "http://site.test:8080/auth");
    EXPECT_EQ(ActionOf(page, "<form action=\"https://other.test/x\">"), "https://other.test/x");
    EXPECT_EQ(ActionOf(page, "<form action=\"//cdn.test/x\">"), "http://cdn.test/x");
    // Without an action (or with an empty one) a form goes to the page itself.
    EXPECT_EQ(ActionOf(page, "<form>"), "http://site.test:8080/dir/login.php?next=/a/b");
    EXPECT_EQ(ActionOf(page, "<form action=\"?step=2\">"), "http://site.test:8080/dir/login.php?step=2");
    EXPECT_EQ(ActionOf("http://site.test", "<form action=\"in\">"), "http://site.test/in");
    EXPECT_EQ(ActionOf(page, "<base href=\"/sub\"><form action=\"in\">"), "http://site.test:8080/sub/in");
}

TEST(LoginFormHandlerTest, KeepsOnlyTheFirstFormWithAPasswordAndItsOwnMethod)
{
    ScannedForm form = Scan("http://site.test/login.html",
                            "<form method=post action=/search><input name=q></form>"
                            "<form action=login><input name=user><input type=checkbox name=remember>"
                            "<input type=PASSWORD name=pass><input type=image name=img>"
                            "<input type=submit value=Go><input type=hidden name=h></form>"
                            "<form method=post action=/later><input type=password name=other></form>");
    EXPECT_TRUE(form.password);
    EXPECT_FALSE(form.post) << "a form without a method is sent by GET, not by the search form's POST";
    EXPECT_EQ(form.action, "http://site.test/login");
    EXPECT_EQ(form.names, (std::vector<std::string>{"user", "pass", "h"}));

    EXPECT_FALSE(
        Scan("http://site.test/", "<form><input name=q></form><input type=password name=p>").password)
        << "a password input outside any form is no login form";
}
