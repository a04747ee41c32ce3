#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkReply;

namespace papyrant {

// An XMLHTTP-style request component: one asynchronous HTTP request at a time, its answer kept
// in memory (and optionally saved to a file), the outcome told by events. The order of events
// for one request: OnReadyStateChange at every change of the ready state and as the body
// arrives, one more when the request is complete (ready state 4), then exactly one of
// OnDateArrived (status 200) or OnDateErr (anything else).
class uXMLHTTP : public QObject
{
    Q_OBJECT
public:
    explicit uXMLHTTP(QObject *parent = nullptr);
    ~uXMLHTTP() override; // a running request is dropped without an event

    // Time without any answer byte after which the request ends as failed, with status 0.
    void setTimeoutMs(int ms) { m_timeout.setInterval(ms); }
    // An answer longer than this ends the request as failed; the body is held in memory.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }

    // Prepares a request; the method is sent in upper case. A previous request is dropped.
    // False (with the reason in *error) when the URL cannot be requested.
    bool Open_(const QString &AMethod, const QString &AUrl, const QString &保存路径 = {},
               QString *error = nullptr);
    void SetRequestHeader(const QString &AHeader, const QString &AValue);
    // Sends the opened request with the body (UTF-8). Nothing happens without Open_.
    void Send_(const QString &ABody = {});
    // Ends the request at once; no further event.
    void Abort_();

    bool DownOK() const { return m_downOK; }
    int ReadyState() const { return m_readyState; }
    // The HTTP status, 0 when no complete answer came (no connection, reset, time limit).
    int Status() const { return m_status; }
    QString StatusText() const { return m_statusText; }
    QString GetResponseHeader(const QString &AHeader) const;
    QString GetAllResponseHeaders() const;
    QByteArray ResponseBody() const { return m_body; }
    // The body as text: by the charset the answer names, else by its byte-order mark, else
    // as UTF-8.
    QString ResponseText() const;

    // The description of an HTTP status for OnDateErr; empty for codes without one.
    static QString StatusDescription(int code);
    // What OnDateErr says when the body came but could not be saved at the save path.
    static QString saveFailedText();

signals:
    void OnReadyStateChange();
    void OnDateArrived();
    void OnDateErr(const QString &description);

private:
    void setReadyState(int state);
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void onTimeout();
    void complete(bool delivered);
    void dropReply();

    QPointer<QNetworkReply> m_reply;
    QTimer m_timeout;
    QString m_method;
    QString m_url;
    QString m_savePath;
    QList<QPair<QByteArray, QByteArray>> m_requestHeaders;
    QList<QPair<QByteArray, QByteArray>> m_responseHeaders;
    QByteArray m_body;
    QString m_statusText;
    qint64 m_maxBodyBytes = 16 * 1024 * 1024;
    int m_readyState = 0;
    int m_status = 0;
    bool m_opened = false;
    bool m_downOK = false;
};

} // namespace papyrant
