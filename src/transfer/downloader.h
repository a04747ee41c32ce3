#pragma once

#include "transfer/httpstream.h"
#include "transfer/transferend.h"
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace papyrant {

// Downloads one URL into one file without blocking, and reports by events. The body streams to
// a temporary file beside the save file and is renamed to the save name when whole; until then
// nothing stands under that name (the host keeps the names of running downloads reserved).
// The rename never replaces an entry, except a leftover of an interrupted download, unless
// replacing is asked for, and then only a regular file: a link planted at the name is never
// written through. A download that fails or is abandoned leaves no file of ours behind and an
// existing file as it was.
class Downloader : public QObject
{
    Q_OBJECT
public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override; // abandons a running download; no event follows

    // Time without any new body byte after which the download is given up ("超时").
    void setStallLimitMs(int ms) { m_stallLimitMs = ms; }
    void setWatchdogTickMs(int ms) { m_watchdog.setInterval(ms); }
    // The same-name rule "覆盖": the finished body replaces a file that stands at the save name.
    void setReplaceExisting(bool replace) { m_replaceExisting = replace; }

    // An empty referer sends no Referer header.
    void BeginDownload(const QString &url, const QString &saveFile, const QString &referer);
    void CancelAsyncRead();

    QString url() const { return m_url; }
    QString saveFile() const { return m_saveFile; }
    bool isRunning() const { return m_phase == Phase::Reading || m_phase == Phase::Fallback; }
    // How the last download ended, with the reason of a failure; valid from the moment
    // DownloadComplete or DownloadError is raised.
    const TransferEnd &end() const { return m_end; }

signals:
    // Only for an answer of known length.
    void DownloadProgress(qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    void DownloadComplete(qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    // "超时" (no progress within the stall limit) or "无法下载".
    void DownloadError(const QString &MissCode, const QString &SaveFile);
    // Every growth of the body on disk, known length or not (for the size limit).
    void BodyWritten(qint64 bytes, const QString &SaveFile);

private:
    enum class Phase { Idle, Reading, Fallback, Done };

    void startRead();
    void onProgress(qint64 written);
    void onHeaders();
    void onFinished();
    void watchdogTick();
    void fail(const QString &missCode, const QString &reason);
    void dropOurFiles();

    Phase m_phase = Phase::Idle;
    QString m_url;
    QString m_saveFile;
    QByteArray m_referer; // sent with both fetches; none when empty
    bool m_replaceExisting = false;
    HttpStreamPtr m_stream;
    QTimer m_watchdog;
    QElapsedTimer m_lastProgress;
    qint64 m_readBytes = 0;
    qint64 m_watchedBytes = 0;
    int m_stallLimitMs = 300000;
    TransferEnd m_end;
};

} // namespace papyrant
