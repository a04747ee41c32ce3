#include "download/loginpanel.h"

#include "browser/browser.h"
#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "foundation/eventwait.h"
#include "foundation/prompts.h"

#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

const QString blankPage = u"about:blank"_s;

QString notOnLoginSite()
{
    return u"当前网页不在登录网址的网站上，未登录"_s;
}

// Names of the form fields, as the name attribute reads in lower case.
bool isAccountField(const QString &name)
{
    return name == u"userid" || name == u"user" || name == u"username" || name == u"useruid";
}

bool isPasswordField(const QString &name)
{
    return name == u"pass" || name == u"password" || name == u"passwd";
}

} // namespace

LoginPanel::LoginPanel(DownloadSession &session, Prompts &prompts, QObject *parent)
    : QObject(parent), m_session(session), m_prompts(prompts)
{
    m_timer2.setObjectName(u"Timer2"_s);
    m_timer2.setInterval(60000);
    connect(&m_timer2, &QTimer::timeout, this, [this] {
        if (m_web)
            m_web->Refresh();
    });
    m_browseLimit.setSingleShot(true);
    connect(&m_browseLimit, &QTimer::timeout, this, [this] { setBrowseEnabled(true); });
    m_attemptEnd.setSingleShot(true);
    connect(&m_attemptEnd, &QTimer::timeout, this, &LoginPanel::endAttempt);
    // The end of a download that gave a web page asks for a login. It runs once that end path
    // is over, never inside a transfer's handler (its waits would hold the transfer up), and only
    // while automatic login is still ticked.
    connect(
        &session, &DownloadSession::loginAutomationRequested, this,
        [this] {
            if (m_session.options.autoLogin)
                FillAndSubmitLogin(false);
        },
        Qt::QueuedConnection);
}

Browser *LoginPanel::Web1()
{
    if (!m_web && makeBrowser) {
        if (Browser *browser = makeBrowser())
            attachBrowser(browser);
    }
    return m_web;
}

void LoginPanel::attachBrowser(Browser *browser)
{
    // A new browser shows an empty page, as "about:blank" does; a navigation to it now would
    // only race with the one the caller is about to start.
    m_web = browser;
    browser->setSilent(true);
    connect(browser, &Browser::DocumentComplete, this, [this](bool topLevel) {
        if (!topLevel)
            return;
        m_loginPageLoading = false;
        m_browseLimit.stop();
        setBrowseEnabled(true);
    });
    connect(browser, &Browser::TitleChange, this, [this](const QString &title) {
        if (title.trimmed().toLower() != blankPage)
            emit m_session.statusText(3, title);
    });
    // New windows open in this browser and close requests are refused by the browser itself.
}

void LoginPanel::网页登录(int selectedPosition)
{
    Browser *web = Web1();
    if (!web || m_session.options.autoLogin || fields.autoRefresh)
        return;
    const DownloadQueue &queue = m_session.queue();
    if (queue.isValidPosition(selectedPosition))
        web->Navigate(选择url(queue.row(selectedPosition).Urls));
}

void LoginPanel::浏览()
{
    openLoginPage();
}

bool LoginPanel::openLoginPage()
{
    const QString url = fields.url.trimmed();
    if (url.isEmpty())
        return false;
    Browser *web = Web1();
    if (!web)
        return false;
    // Off until the page has come, by a timer rather than a wait: a wait here would be held
    // beneath any nested wait started meanwhile, and the button with it.
    setBrowseEnabled(false);
    m_browseLimit.start(limits.pageWaitMs);
    m_loginPageLoading = true;
    web->Navigate(url);
    return true;
}

void LoginPanel::setBrowseEnabled(bool enabled)
{
    if (m_browseEnabled == enabled)
        return;
    m_browseEnabled = enabled;
    emit browseEnabledChanged(enabled);
}

bool LoginPanel::waitForPage()
{
    QPointer<LoginPanel> alive(this);
    QPointer<Browser> web(m_web);
    EventWait wait([&] { return !alive || !web || (!web->Busy() && !m_loginPageLoading); });
    wait.endOnDestroyed(this)
        .endOnDestroyed(web.data())
        .wakeOn(web.data(), &Browser::DocumentComplete)
        .poll(limits.busyPollMs)
        .run(limits.pageWaitMs);
    return !alive.isNull();
}

bool LoginPanel::submitAndWait(Element &button)
{
    m_loginPageLoading = true;
    QPointer<LoginPanel> alive(this);
    button.click(); // a script run in the page: this panel may be gone afterwards
    return alive && waitForPage();
}

void LoginPanel::自动刷新(bool ticked)
{
    fields.autoRefresh = ticked;
    if (ticked)
        m_timer2.start();
    else
        m_timer2.stop();
}

bool LoginPanel::fieldsMissing() const
{
    return !fields.ipLogin
           && (fields.url.trimmed().isEmpty() || fields.account.trimmed().isEmpty()
               || fields.password.trimmed().isEmpty());
}

bool LoginPanel::自动登录(bool ticked)
{
    if (!ticked)
        return true;
    if (fields.url.trimmed().isEmpty()) {
        m_prompts.message(u"必须先设置登录网址！"_s, Prompts::Icon::Error);
        return false;
    }
    if (fieldsMissing()) {
        m_prompts.message(u"帐号登录,必须先设置登录帐号和登录密码！"_s, Prompts::Icon::Error);
        return false;
    }
    return true;
}

void LoginPanel::关闭隐藏()
{
    if (!fields.autoRefresh && m_web)
        m_web->Navigate(blankPage);
}

void LoginPanel::clearAutoLogin()
{
    m_session.options.autoLogin = false;
    emit autoLoginCleared();
}

void LoginPanel::endAttempt()
{
    if (!m_attempt)
        return;
    m_attempt = 0;
    m_attemptEnd.stop();
    emit testLoginEnabledChanged(true);
}

bool LoginPanel::onLoginSite(const Document &document) const
{
    const QUrl page(document.URL());
    const QUrl login = QUrl::fromUserInput(fields.url.trimmed());
    const QString scheme = page.scheme().toLower();
    const int defaultPort = scheme == u"https" ? 443 : scheme == u"http" ? 80 : -1;
    return page.isValid() && login.isValid() && !page.host().isEmpty()
           && scheme == login.scheme().toLower()
           && page.host().compare(login.host(), Qt::CaseInsensitive) == 0
           && page.port(defaultPort) == login.port(defaultPort);
}

void LoginPanel::fillAndSubmit(Document &document, const std::function<bool()> &over)
{
    // The elements are read first: they belong to the page they were read from, and a click or
    // a value given later reaches only that page. Then that page's address is checked.
    const ElementCollection inputs =
        fields.ipLogin ? ElementCollection() : document.getElementsByTagName(u"INPUT"_s);
    Element button = fields.ipLogin ? document.getElementById(u"submitip"_s) : Element();
    if (over())
        return;
    if (!onLoginSite(document)) {
        if (!over())
            emit m_session.statusText(3, notOnLoginSite());
        return;
    }
    if (fields.ipLogin) {
        if (button && !over())
            submitAndWait(button);
        return;
    }
    int filled = 0;
    for (int i = 0; i < inputs.length() && !over(); ++i) {
        Element input = inputs.item(i);
        const QString name = input.name().toLower();
        if (isAccountField(name)) {
            ++filled;
            input.setValue(fields.account.trimmed());
        }
        if (!over() && isPasswordField(name)) {
            ++filled;
            input.setValue(fields.password.trimmed());
        }
        // A submit button before two filled fields is passed by; the first one after them ends
        // the walk.
        if (!over() && input.type().toLower() == u"submit" && filled > 1) {
            submitAndWait(input);
            return;
        }
    }
}

void LoginPanel::FillAndSubmitLogin(bool interactive)
{
    if (fields.url.trimmed().isEmpty()) {
        if (interactive)
            m_prompts.message(u"必须先设置登录网址！"_s, Prompts::Icon::Error);
        clearAutoLogin();
        return;
    }
    if (fieldsMissing()) {
        if (interactive)
            m_prompts.message(u"帐号登录,必须先设置登录帐号和登录密码！"_s, Prompts::Icon::Error);
        clearAutoLogin();
        return;
    }
    if (m_attempt)
        return;
    const quint64 attempt = ++m_attempts;
    m_attempt = attempt;
    emit testLoginEnabledChanged(false);
    m_attemptEnd.start(3 * limits.pageWaitMs + limits.settleMs);

    // Every step below may yield (page waits, and each reading or writing of the page is a
    // script run): the window may close meanwhile and take this panel with it, and the attempt
    // may have ended by its time limit.
    QPointer<LoginPanel> alive(this);
    const auto over = [&] { return !alive || m_attempt != attempt; };
    if (openLoginPage())
        waitForPage();
    if (over())
        return;
    // From here a step that fails is passed over: a page without the form, or one that did not
    // load in time, changes nothing.
    if (m_web) {
        if (const DocumentPtr document = m_web->Document())
            fillAndSubmit(*document, over);
    }
    if (over())
        return;

    // The site may set its cookies late (a script, a redirect): a pause before the next attempt,
    // which the attempt's timer ends.
    m_attemptEnd.start(limits.settleMs);
    EventWait pause(over);
    pause.endOnDestroyed(this).wakeOn(this, &LoginPanel::testLoginEnabledChanged).run(-1);
}

void LoginPanel::unload()
{
    m_timer2.stop();
    fields = {};
}

} // namespace papyrant
