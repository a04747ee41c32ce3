#pragma once

#include "download/savenames.h"
#include "download/transfermethods.h"
#include "transfer/httpstream.h"
#include "transfer/sharednetwork.h"
#include "transfer/transferend.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <optional>

namespace papyrant {

class DownloadSession;

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
    int port = 80; // the server's port (the proxy's own port is in the proxy settings)
    bool viaProxy = false;
    QUrl requestUrl;
};
RemoteEndpoint 连接设置(const QString &url, const ProxySettings &proxy);

// Status panel 3 text for a transfer state (0..12), with the answer's code and text for 11
// and unknown states.
QString TransferStateText(int state, int code = 0, const QString &text = {});

// Download method one: one row at a time, streamed to disk. Inet下载当前文件 starts the
// transfer and returns; the stream's signals and a watch timer carry it on and end the row, so
// that it never waits inside a nested event loop (a page walk waiting in one would freeze it).
// The row is found again by its key at every step, so that the transfer writes into its own
// row wherever it is and into none when it was removed. Destroying the object ends a running
// transfer without a trace: its partial file goes, and no row or session is touched.
class MethodOne : public QObject, public MethodOneTransfer
{
    Q_OBJECT
public:
    // No prompt: a transfer ends its row with a reason and never opens a dialog.
    explicit MethodOne(DownloadSession &session, QObject *parent = nullptr);
    ~MethodOne() override;

    // Read from the settings when the window loads; the window may set it again.
    ProxySettings proxy;

    void Inet下载当前文件(int position) override;
    void cancel() override;
    bool isExecuting() const override;
    bool isRunning() const override { return m_phase != Phase::Idle; }

private:
    enum class Phase { Idle, Headers, Body, FallbackHeaders, FallbackBody };
    enum class BodyEnd { Complete, TooLarge, Stalled, Cancelled, Broken };

    void Inet下载文件(int position);
    void openStream(bool followRedirects);
    void check();
    void onHeaders();
    void onBodyWritten(qint64 written);
    void showProgress(qint64 written);
    std::optional<BodyEnd> bodyOutcome() const;
    void endBody(BodyEnd end);
    void startFallback();
    void onFallbackHeaders();
    void endFallback(BodyEnd end);
    bool commit(); // the finished body under m_target, by the same-name rule
    void finish(bool delivered, const QString &reason = {});
    void fail(const QString &sizeWord, const QString &reason);
    void failWithReason(const QString &reason);
    void noteRefusal();
    QString streamReason() const;
    QString commitReason() const;
    int pos() const;
    void showState(int state);
    bool stopRequested() const;

    DownloadSession &m_session;
    HttpStreamPtr m_stream;
    Phase m_phase = Phase::Idle;
    QString m_key; // the row's key when the transfer started
    QUrl m_url;
    QByteArray m_referer;
    QString m_target;
    SaveNames::Reservation m_targetName; // held from the choice of the target to the end
    qint64 m_expected = 0;               // the announced length; 0 when unknown
    qint64 m_bytes = 0;                  // body bytes received, for the end's report
    QUrl m_finalUrl;                     // the address the answer came from
    int m_refusedStatus = 0;             // the error status that ended it, with its
    QByteArray m_retryAfter;             // Retry-After (for a host that asks for a rest)
    QElapsedTimer m_waited;              // since the request went out (header wait)
    QElapsedTimer m_lastProgress;
    QTimer m_watch; // time limits and the stop flag, which has no signal of its own
    bool m_cancelled = false;
};

} // namespace papyrant
