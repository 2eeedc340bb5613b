#include "mainwindow/UserActs.h"

#include "foundation/uUrl.h"

#include <algorithm>
#include <sstream>

namespace
{
// The redirects of one load the user started that are followed.
constexpr std::size_t kMaxRedirects = 30;

std::string WithoutFragment(const std::string& address)
{
    return address.substr(0, address.find('#'));
}

// Two addresses of one page: the same address, but for its fragment.
bool SamePage(const std::string& first, const std::string& second)
{
    return WithoutFragment(htmlctrl::NormalAddress(first)) ==
           WithoutFragment(htmlctrl::NormalAddress(second));
}

// A form's navigation carries its fields as the query of its action.
bool SameAction(const std::string& first, const std::string& second)
{
    const std::string one = htmlctrl::NormalAddress(first);
    const std::string two = htmlctrl::NormalAddress(second);
    return one.substr(0, one.find_first_of("?#")) == two.substr(0, two.find_first_of("?#"));
}

bool Holds(const std::vector<std::string>& addresses, const std::string& address)
{
    return std::any_of(addresses.begin(), addresses.end(),
                       [&](const std::string& held) { return SamePage(held, address); });
}

bool IsWebAddress(const std::string& address)
{
    std::string scheme = address.substr(0, address.find(':'));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return address.find("://") == scheme.size() && (scheme == "http" || scheme == "https");
}
} // namespace

bool CUserActs::ReadReport(const std::string& message, PressReport& report)
{
    std::istringstream lines(message);
    std::string place;
    std::string count;
    std::string target;
    if (!std::getline(lines, place) || !std::getline(lines, count) || !std::getline(lines, target) ||
        (place != "0" && place != "1") || count.empty() ||
        !std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    report = PressReport();
    std::getline(lines, report.address);
    if (target == "link")
        report.target = PressReport::Target::kLink;
    else if (target == "form")
        report.target = PressReport::Target::kForm;
    else if (target != "none")
        return false;
    report.inPageItself = place == "1";
    report.byMouse = count != std::string(count.size(), '0');
    return true;
}

void CUserActs::OnViewPressed()
{
    m_linkAtPress = m_linkUnderPointer;
    m_pressUnreported = true;
    m_keyUnreported = false;
    m_pressIsMouse = false;
    m_pressIsKey = false;
    m_pressIsUsers = false;
}

void CUserActs::OnViewKeyPressed()
{
    m_pressUnreported = false;
    m_keyUnreported = true;
    m_pressIsMouse = false;
    m_pressIsKey = false;
    m_pressIsUsers = false;
}

void CUserActs::OnPressReported(const PressReport& report)
{
    // A trusted click with no press of the user's before it is the engine's
    // own (a key's activation, a label passing its click on).
    m_pressIsMouse = m_pressUnreported && report.byMouse;
    // Only in the page itself: a frame's scripts may move the focus in it.
    m_pressIsKey = m_keyUnreported && !report.byMouse && report.inPageItself;
    m_pressIsUsers = m_pressIsMouse && report.inPageItself;
    m_pressUnreported = false;
    m_keyUnreported = false;
    m_press = report;
    // A link in a closed shadow tree is hidden from the script's path; the
    // engine's own hit test at the press names it.
    if (m_press.target == PressReport::Target::kNone && !m_linkAtPress.empty())
    {
        m_press.target = PressReport::Target::kLink;
        m_press.address = m_linkAtPress;
    }
}

void CUserActs::TakePressBeforeReport(const htmlctrl::Navigation& navigation)
{
    // A step to another page is asked about after the report, in turn.
    const std::string address = navigation.url.c_str();
    if (address.find('#') == std::string::npos || navigation.redirect || !navigation.userGesture)
        return;
    // Only the first button's press is reported as a click, and a script's
    // click is of none.
    if (!m_pressUnreported || m_linkAtPress.empty() || navigation.mouseButton != 1 ||
        navigation.kind != htmlctrl::NavigationKind::kLinkClicked ||
        htmlctrl::NormalAddress(address) != htmlctrl::NormalAddress(m_linkAtPress))
        return;
    m_pressUnreported = false;
    m_pressIsMouse = true;
    // The link may be in a frame: the press counts as one there.
    m_pressIsUsers = false;
    m_pressIsKey = false;
    m_press = PressReport{false, true, PressReport::Target::kLink, m_linkAtPress};
}

void CUserActs::OnPointerOverLink(const std::string& link)
{
    m_linkUnderPointer = link;
    // The toolkit's press comes before the engine has looked under a pointer
    // that has just arrived; the engine's report of it comes before its
    // click. One of no link changes nothing: no click on a link follows a
    // pointer that left it.
    if (m_pressUnreported && !link.empty())
        m_linkAtPress = link;
}

bool CUserActs::IsUsersPress(const htmlctrl::Navigation& navigation, bool inPageItself) const
{
    // The engine's button is 0 for a script's click, even one made inside
    // the user's own.
    if (!(inPageItself ? m_pressIsUsers : m_pressIsMouse) || navigation.mouseButton == 0)
        return false;
    return IsReportedTarget(navigation);
}

bool CUserActs::IsReportedTarget(const htmlctrl::Navigation& navigation) const
{
    if (navigation.redirect || !navigation.userGesture)
        return false;
    const std::string address = navigation.url.c_str();
    if (navigation.kind == htmlctrl::NavigationKind::kLinkClicked)
        return m_press.target == PressReport::Target::kLink && SamePage(address, m_press.address);
    return navigation.kind == htmlctrl::NavigationKind::kFormSubmitted &&
           m_press.target == PressReport::Target::kForm && SameAction(address, m_press.address);
}

bool CUserActs::OnNavigation(const htmlctrl::Navigation& navigation, bool commanded)
{
    const std::string address = WithoutFragment(navigation.url.c_str());
    const bool users = commanded || IsUsersPress(navigation, true);
    // A key's activation of a link only leaves a page the program wrote:
    // its scripts are off, so the focus is where the user's keys put it.
    const bool leaves =
        users || IsUsersPress(navigation, false) || (m_pressIsKey && IsReportedTarget(navigation));
    // The press's own navigation is the first the view decides after it; a
    // redirect of another load may come between.
    if (!navigation.redirect)
    {
        m_pressIsMouse = false;
        m_pressIsKey = false;
        m_pressIsUsers = false;
    }
    m_accepted.clear();
    m_newest = navigation.redirect ? std::string() : address;
    // A redirect is the user's only through the page's own load it belongs to.
    m_newestIsUsers = users && !navigation.redirect;
    // Any other navigation to an address of the user's load takes that
    // address's leave away.
    if (!navigation.redirect && !users)
        m_pageLoad.erase(std::remove_if(m_pageLoad.begin(), m_pageLoad.end(),
                                        [&](const std::string& held) { return SamePage(held, address); }),
                         m_pageLoad.end());
    return leaves;
}

void CUserActs::OnPageLoadStarted()
{
    // Until the new document comes, the old page runs on: its scripts are
    // not the loading page's.
    m_windowAllowed = false;
    m_documentComing = false;
    m_accepted.clear();
    m_pageLoad.clear();
    m_requestAwaited = true;
    m_startedFor = m_newestIsUsers ? m_newest : std::string();
    // Each navigation starts one load at most.
    m_newest.clear();
    m_newestIsUsers = false;
}

void CUserActs::OnPageRequested(const std::string& address)
{
    m_documentComing = true;
    if (!m_requestAwaited)
        return;
    m_requestAwaited = false;
    // Only the decided navigation's own load inherits its credit.
    if (!m_startedFor.empty() && SamePage(m_startedFor, address))
        m_pageLoad.push_back(m_startedFor);
    m_startedFor.clear();
}

void CUserActs::OnPageRequestEnded()
{
    m_documentComing = false;
    m_windowAllowed = false;
}

void CUserActs::OnPageRedirected(const std::string& address)
{
    if (!m_pageLoad.empty() && m_pageLoad.size() < kMaxRedirects)
        m_pageLoad.push_back(WithoutFragment(address));
}

void CUserActs::OnPageCommitted(const std::string& address)
{
    m_accepted.clear();
    m_pageLoad.clear();
    m_requestAwaited = false;
    m_shownPage = address;
    // A load whose request the engine never named (a page the program
    // wrote) or whose document came whole before it showed opens none.
    m_windowAllowed = m_documentComing;
}

void CUserActs::OnPageLoadFinished()
{
    m_documentComing = false;
    m_windowAllowed = false;
}

void CUserActs::OnPageLoadFailed(bool becameDownload)
{
    // The engine ends a load that became a download before that download
    // starts.
    if (!becameDownload)
        m_accepted.clear();
    m_pageLoad.clear();
    m_requestAwaited = false;
    m_documentComing = false;
    m_windowAllowed = false;
}

bool CUserActs::TakeWindow()
{
    const bool allowed = m_windowAllowed;
    m_windowAllowed = false;
    return allowed;
}

bool CUserActs::IsUserStarted(const std::string& address) const
{
    return Holds(m_pageLoad, address);
}

CUserActs::AnswerUse CUserActs::UseOfAnswer(const std::string& address, bool ofPageItself, bool attachment,
                                            bool programsDocument, bool viewCanShow) const
{
    const bool users = ofPageItself && IsUserStarted(address);
    if (viewCanShow && !attachment && !(users && programsDocument))
        return AnswerUse::kShow;
    return users ? AnswerUse::kDownload : AnswerUse::kRefuse;
}

std::string CUserActs::UsersPageLoad() const
{
    return m_pageLoad.empty() ? std::string() : m_pageLoad.back();
}

bool CUserActs::IsUsersLogin(const std::string& host, int port, bool forProxy, const std::string& mainRequest,
                             const std::vector<std::string>& otherRequests) const
{
    const std::string page = UsersPageLoad();
    // A proxy's question is the user's own proxy's, never a page's text.
    if (forProxy || page.empty())
        return !page.empty();
    const auto isAsked = [&](const std::string& address)
    {
        const uString url(address.c_str());
        return ExtractHost(url).compareNoCase(host.c_str()) == 0 && ExtractPort(url) == port;
    };
    return SamePage(mainRequest, page) && isAsked(page) &&
           std::none_of(otherRequests.begin(), otherRequests.end(), isAsked);
}

bool CUserActs::IsUnansweredUsers(const std::string& address) const
{
    return m_newestIsUsers && SamePage(m_newest, address) && IsWebAddress(m_shownPage);
}

std::vector<std::string> CUserActs::UseUp(const std::string& target)
{
    const std::string address = WithoutFragment(target);
    std::vector<std::string> used;
    if (IsUserStarted(address))
        used.swap(m_pageLoad);
    else if (m_newestIsUsers && SamePage(m_newest, address))
        used.push_back(address);
    // Used once: no later download of these addresses is the user's.
    if (Holds(used, m_newest))
        m_newestIsUsers = false;
    return used;
}

void CUserActs::Accept(const std::string& address)
{
    m_accepted = UseUp(address);
}

bool CUserActs::TakeAccepted(const std::string& address)
{
    const bool taken = Holds(m_accepted, address);
    m_accepted.clear();
    return taken;
}
