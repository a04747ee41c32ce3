#pragma once

#include <QByteArray>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace papyrant {

// The proxy choice of the options dialog ("代理服务器有效", "代理服务器网址", "代理服务器端口").
struct ProxySettings
{
    bool enabled = false;
    QString host;
    QString port; // as the user typed it; a port that is not a number counts as 80
};

// The proxy settings as stored by the options dialog.
ProxySettings ReadProxySettings();

// The transfers' cookie jar. It tells which cookies the servers set through the transfers, so
// that the embedded browsers learn them too; cookies put in with insertCookie (those the browsers
// received) are not told again.
class TransferCookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    using QNetworkCookieJar::QNetworkCookieJar;

    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url) override;

signals:
    // The cookies of one answer as the server set them (expired ones included: they delete),
    // and the address they came from.
    void cookiesReceived(const QList<QNetworkCookie> &cookies, const QUrl &url);
};

// One network access manager and one cookie jar for every transfer of the run, so that a
// cookie set by one request (or by a login in the browser) goes with all later ones. Both live
// on the UI thread until the application ends. This manager goes through the system's proxy
// configuration and never gets a proxy of its own: whatever it is set to, every component
// would inherit.
QNetworkAccessManager &SharedNetworkManager();
TransferCookieJar &SharedCookieJar();

// The proxy a request goes through under the options' proxy settings: host:port when on (a port
// that is not a number counts as 80), the system's proxy configuration when off.
QNetworkProxy TransferProxy(const ProxySettings &proxy);
// The proxy the system's configuration gives for a request to url (NoProxy when none), so that a
// download on its own connection goes where the shared manager would send it. Never
// DefaultProxy.
QNetworkProxy SystemProxyFor(const QUrl &url);

// A GET request as every transfer sends it: always from the server, no HTTP/2 (it has hung on
// some servers), the body as sent (identity encoding, so that sizes are the bytes written), and
// redirects followed only when asked for (at most maxRedirects).
QNetworkRequest MakeTransferRequest(const QUrl &url, const QByteArray &referer,
                                    bool followRedirects, int maxRedirects = 10);

// The answer's header block as a transfer control shows it: the status line first, then one
// "Name: value" per line, lines separated by CR LF. Empty when no answer came.
QString RawHeaderText(const QNetworkReply *reply);

// Header bytes as text: UTF-8 when they are valid UTF-8, else Latin-1 (servers send both).
QString HeaderBytesToText(const QByteArray &bytes);

// A Content-Length value as a number of bytes: digits only, spaces around them allowed. -1 for
// anything else (a sign, a fraction, an exponent, hex, more than 64 bits): no usable length.
qint64 ParseContentLength(const QByteArray &value);

} // namespace papyrant
