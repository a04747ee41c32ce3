#pragma once

#include "download/transfermethods.h"
#include "transfer/httpstream.h"
#include "transfer/sharednetwork.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class QEventLoop;

namespace papyrant {

class DownloadSession;
class Prompts;

// The Content-Disposition value of a raw header block ("" when there is none).
QString 从网络文件Header获取ContentDisposition(const QString &rawHeaders);
// The extension (at most five letters) of the file name in a Content-Disposition value. An
// RFC 6266 filename*=charset'lang'name parameter, percent-decoded, wins over filename=.
QString 从下载头信息ContentDisposition获取文件名(const QString &value);

// Where a method-one request goes: the URL to fetch (scheme and port by the port rules) and
// whether it passes the proxy.
struct RemoteEndpoint
{
    bool https = false;
    int port = 80;      // the server's port (the proxy's own port is in the proxy settings)
    bool viaProxy = false;
    QUrl requestUrl;
};
RemoteEndpoint 连接设置(const QString &url, const ProxySettings &proxy);

// Status panel 3 text for a transfer state (0..12), with the answer's code and text for 11
// and unknown states.
QString TransferStateText(int state, int code = 0, const QString &text = {});

// Download method one: one row at a time, streamed to disk, run to its end inside the call
// while the event loop keeps running. The row is found again by its key after every wait, so
// that the transfer writes into its own row wherever it is.
class MethodOne : public QObject, public MethodOneTransfer
{
    Q_OBJECT
public:
    MethodOne(DownloadSession &session, Prompts &prompts, QObject *parent = nullptr);
    ~MethodOne() override;

    // Read from the settings when the window loads; the window may set it again.
    ProxySettings proxy;

    void Inet下载当前文件(int position) override;
    // True for a complete download or a skip by size.
    bool Inet下载文件(int position);
    void cancel() override;
    bool isExecuting() const override;

signals:
    // The saved file is a web page and the options ask for the login automation.
    void loginAutomationRequested(int position);

private:
    enum class BodyEnd { Complete, TooLarge, Stalled, Cancelled, Broken };

    BodyEnd receiveBody(const QString &key, double expected, bool limitUnknown);
    bool fallbackFetch(const QString &key, const QUrl &url, const QString &target,
                       const QByteArray &referer);
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    void wake();
    void showState(int state);
    bool stopRequested() const;

    DownloadSession &m_session;
    Prompts &m_prompts;
    HttpStreamPtr m_stream;
    QEventLoop *m_loop = nullptr;
    QTimer m_wakeTimer; // a wait also wakes on this, to look at the stop flag
    bool m_cancelled = false;
};

} // namespace papyrant
