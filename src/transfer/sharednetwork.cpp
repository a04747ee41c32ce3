#include "transfer/sharednetwork.h"

#include "foundation/settings.h"
#include "transfer/allocator.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QStringDecoder>

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

ProxySettings ReadProxySettings()
{
    return {GetSetting(setting::ProxyEnabled).trimmed() == u"1"_s,
            GetSetting(setting::ProxyAddress).trimmed(), GetSetting(setting::ProxyPort).trimmed()};
}

QNetworkAccessManager &SharedNetworkManager()
{
    // Parented to the application so that it goes before the event dispatcher does.
    static QNetworkAccessManager *manager = [] {
        TuneAllocatorForStreaming();
        auto *m = new QNetworkAccessManager(QCoreApplication::instance());
        m->setCookieJar(new TransferCookieJar); // the manager takes ownership
        m->setAutoDeleteReplies(false);
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        m->setProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
        return m;
    }();
    return *manager;
}

TransferCookieJar &SharedCookieJar()
{
    return *static_cast<TransferCookieJar *>(SharedNetworkManager().cookieJar());
}

bool TransferCookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url)
{
    // Only what the jar itself takes (a cookie for another site is refused), as it reads after
    // normalize(): a cookie without a domain attribute has the bare host as its domain.
    QList<QNetworkCookie> taken;
    for (QNetworkCookie cookie : cookies) {
        cookie.normalize(url);
        if (validateCookie(cookie, url))
            taken.append(cookie);
    }
    const bool added = QNetworkCookieJar::setCookiesFromUrl(cookies, url);
    if (!taken.isEmpty())
        emit cookiesReceived(taken, url);
    return added;
}

QNetworkProxy TransferProxy(const ProxySettings &proxy)
{
    if (!proxy.enabled || proxy.host.trimmed().isEmpty())
        return QNetworkProxy(QNetworkProxy::DefaultProxy);
    bool ok = false;
    const uint port = proxy.port.trimmed().toUInt(&ok);
    return QNetworkProxy(QNetworkProxy::HttpProxy, proxy.host.trimmed(),
                         quint16(ok && port > 0 && port < 65536 ? port : 80));
}

QNetworkProxy SystemProxyFor(const QUrl &url)
{
    SharedNetworkManager(); // the system's configuration is switched on with it
    const QList<QNetworkProxy> choices =
        QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    for (const QNetworkProxy &proxy : choices) {
        switch (proxy.type()) {
        case QNetworkProxy::NoProxy:
        case QNetworkProxy::DefaultProxy: return QNetworkProxy::NoProxy;
        case QNetworkProxy::HttpProxy:
        case QNetworkProxy::HttpCachingProxy:
        case QNetworkProxy::Socks5Proxy: return proxy;
        case QNetworkProxy::FtpCachingProxy: break;
        }
    }
    return QNetworkProxy::NoProxy;
}

QNetworkRequest MakeTransferRequest(const QUrl &url, const QByteArray &referer,
                                    bool followRedirects, int maxRedirects)
{
    QNetworkRequest request(url);
    if (!referer.isEmpty())
        request.setRawHeader("Referer", referer);
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         followRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                         : QNetworkRequest::ManualRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(0); // our own timers decide
    return request;
}

QString RawHeaderText(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return {};
    QString text = u"HTTP/1.1 "_s + QString::number(status.toInt()) + u' '
                   + HeaderBytesToText(
                       reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
                   + u"\r\n"_s;
    for (const auto &[name, value] : reply->rawHeaderPairs())
        text += HeaderBytesToText(name) + u": "_s + HeaderBytesToText(value) + u"\r\n"_s;
    return text;
}

QString HeaderBytesToText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

qint64 ParseContentLength(const QByteArray &value)
{
    const QByteArray digits = value.trimmed();
    if (digits.isEmpty())
        return -1;
    for (char c : digits)
        if (c < '0' || c > '9')
            return -1;
    bool ok = false;
    const qint64 length = digits.toLongLong(&ok);
    return ok ? length : -1;
}

} // namespace papyrant
