#include "browser/ui/webenginebrowser.h"

#include "browser/ui/webenginedocument.h"
#include "foundation/shell.h"
#include "transfer/sharednetwork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEngineCookieStore>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QWebEngineProfile *programBrowserProfile()
{
    static QPointer<QWebEngineProfile> profile;
    if (profile)
        return profile;
    // Named as the cache folder the rest of the program looks in (InternetCacheFolder).
    profile = new QWebEngineProfile(BrowserStorageName.toString(), QCoreApplication::instance());
    if (QStandardPaths::isTestModeEnabled()) {
        static QTemporaryDir storage; // removed when the test program ends
        profile->setPersistentStoragePath(storage.path() + u"/storage"_s);
        profile->setCachePath(storage.path() + u"/cache"_s);
    }
    profile->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // A login made in any embedded browser admits the downloads.
    new CookieBridge(profile, &SharedCookieJar(), profile);
    return profile;
}

// A page that exists only to learn where a page wanted its new window to go.
class NewWindowCatcher : public QWebEnginePage
{
public:
    NewWindowCatcher(QWebEngineProfile *profile, BrowserPage *owner)
        : QWebEnginePage(profile, owner), m_owner(owner)
    {
        connect(this, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
            if (!url.isEmpty())
                catchUrl(url);
        });
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        if (isMainFrame)
            catchUrl(url);
        return false;
    }

private:
    void catchUrl(const QUrl &url)
    {
        if (m_caught || !m_owner || url == QUrl(u"about:blank"_s))
            return;
        m_caught = true;
        emit m_owner->newWindowRequested(url);
        deleteLater();
    }

    QPointer<BrowserPage> m_owner;
    bool m_caught = false;
};

BrowserPage::BrowserPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{}

bool BrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame)
{
    if (isMainFrame)
        emit navigationRequested(url);
    return true;
}

QWebEnginePage *BrowserPage::createWindow(WebWindowType)
{
    // No second window: the address the new window would load comes to this page instead.
    return new NewWindowCatcher(profile(), this);
}

void BrowserPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (!silent)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool BrowserPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    return silent ? false : QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool BrowserPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                                   const QString &defaultValue, QString *result)
{
    return silent ? false
                  : QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString &message, int lineNumber,
                                           const QString &sourceID)
{
    // Script errors of the visited pages are theirs; while silent they are not even logged.
    if (!silent)
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

WebEngineBrowser::WebEngineBrowser(QWebEngineProfile *profile, QObject *parent) : Browser(parent)
{
    if (!profile)
        profile = programBrowserProfile();
    m_view = new QWebEngineView();
    m_page = new BrowserPage(profile, m_view);
    m_view->setPage(m_page);

    m_clickGrace.setSingleShot(true);
    m_clickGrace.setInterval(10000);
    connect(&m_clickGrace, &QTimer::timeout, this, [this] { m_busy = false; });

    connect(m_page, &BrowserPage::navigationRequested, this, [this](const QUrl &url) {
        // Busy until the load begins (and then until it ends); a request that never turns into
        // a load (a download, a cancelled one) lets go after the grace time.
        m_busy = true;
        if (!m_loading)
            m_clickGrace.start();
        emit BeforeNavigate2(url.toString(QUrl::FullyEncoded));
    });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        // A move within the page (to a fragment) loads nothing; it is complete at once.
        if (m_busy && !m_loading && m_everLoaded
            && url.adjusted(QUrl::RemoveFragment) == m_loadedUrl.adjusted(QUrl::RemoveFragment)) {
            m_clickGrace.stop();
            m_busy = false;
            m_loadedUrl = url;
            emit DocumentComplete(true, url.toString(QUrl::FullyEncoded));
        }
    });
    connect(m_page, &BrowserPage::newWindowRequested, this, [this](const QUrl &url) {
        emit NewWindow(url.toString(QUrl::FullyEncoded));
        m_page->load(url);
    });
    // The engine announces a load's start and end twice, the second time (loadingChanged) with
    // the status of the page's answer; the page wait ends there, when the status is known.
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
    connect(m_page, &QWebEnginePage::titleChanged, this, &Browser::TitleChange);
    connect(m_page, &QWebEnginePage::linkHovered, this, &Browser::StatusTextChange);
    // A page cannot close the browser: the request is refused, only reported.
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, &Browser::WindowClosing);
}

WebEngineBrowser::~WebEngineBrowser()
{
    // The window that shows the view may have taken it and deleted it already.
    if (m_view && !m_view->parent())
        delete m_view;
}

void WebEngineBrowser::Navigate(const QString &address)
{
    if (!m_page)
        return;
    const QUrl url = QUrl::fromUserInput(address.trimmed());
    if (!url.isValid())
        return;
    m_busy = true;
    if (!m_loading)
        m_clickGrace.start();
    m_page->load(url);
}

void WebEngineBrowser::GoBack()
{
    if (m_page && m_page->history()->canGoBack())
        m_page->triggerAction(QWebEnginePage::Back);
}

void WebEngineBrowser::GoForward()
{
    if (m_page && m_page->history()->canGoForward())
        m_page->triggerAction(QWebEnginePage::Forward);
}

void WebEngineBrowser::Refresh()
{
    if (m_page && m_everLoaded)
        m_page->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::setSilent(bool silent)
{
    if (m_page)
        m_page->silent = silent;
}

std::shared_ptr<papyrant::Document> WebEngineBrowser::Document()
{
    if (!m_page || !m_everLoaded)
        return {};
    return std::make_shared<WebEngineDocument>(this);
}

QString WebEngineBrowser::URL() const
{
    return m_page && m_everLoaded ? m_page->url().toString(QUrl::FullyEncoded) : QString();
}

QVariant WebEngineBrowser::evaluate(const QString &script)
{
    if (!m_page)
        return {};
    // The answer may come after we gave up waiting; it must then find nothing to write to.
    struct Wait
    {
        QVariant value;
        bool done = false;
        QPointer<QEventLoop> loop;
    };
    auto wait = std::make_shared<Wait>();
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [wait](const QVariant &v) {
        wait->value = v;
        wait->done = true;
        if (wait->loop)
            wait->loop->quit();
    });
    if (!wait->done) {
        QEventLoop loop;
        wait->loop = &loop;
        QTimer::singleShot(m_scriptTimeoutMs, &loop, &QEventLoop::quit);
        connect(m_page, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return wait->done ? wait->value : QVariant();
}

void WebEngineBrowser::expectNavigation()
{
    m_busy = true;
    if (!m_loading)
        m_clickGrace.start();
}

void WebEngineBrowser::onLoadStarted()
{
    m_clickGrace.stop();
    m_loading = true;
    m_busy = true;
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    // The status of the page's own answer comes in the HTTP-status domain, 200 included; a load
    // that failed before any answer ends in another domain.
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_httpStatus = 0;
        onLoadStarted();
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
            m_httpStatus = info.errorCode();
        else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
            m_httpStatus = -1;
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus: break;
    }
    onLoadFinished();
}

void WebEngineBrowser::onLoadFinished()
{
    // A failed load ends the wait for it as well: the page on show is whatever the engine shows.
    m_clickGrace.stop();
    m_loading = false;
    m_busy = false;
    m_everLoaded = true;
    m_loadedUrl = m_page ? m_page->url() : QUrl();
    emit DocumentComplete(true, m_loadedUrl.toString(QUrl::FullyEncoded));
}

CookieBridge::CookieBridge(QWebEngineProfile *profile, TransferCookieJar *jar, QObject *parent)
    : QObject(parent), m_profile(profile), m_jar(jar)
{
    if (!profile)
        return;
    // What the browser then reports back (cookieAdded) goes into the jar with insertCookie and
    // is not told again: no echo.
    if (jar)
        connect(jar, &TransferCookieJar::cookiesReceived, this, &CookieBridge::pushToBrowser);
    QWebEngineCookieStore *store = profile->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie &c) {
        if (m_jar)
            m_jar->insertCookie(c);
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, [this](const QNetworkCookie &c) {
        if (m_jar)
            m_jar->deleteCookie(c);
    });
    store->loadAllCookies();
}

void CookieBridge::pushToBrowser(const QList<QNetworkCookie> &cookies, const QUrl &origin)
{
    if (!m_profile)
        return;
    const QUrl site = origin.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    for (QNetworkCookie c : cookies) {
        // The engine reads a domain as a domain attribute, which would widen a host's cookie to
        // its subdomains; with the origin alone it stays the host's.
        if (site.isValid() && !c.domain().startsWith(u'.')
            && c.domain().compare(site.host(), Qt::CaseInsensitive) == 0)
            c.setDomain({});
        m_profile->cookieStore()->setCookie(c, site);
    }
}

} // namespace papyrant
