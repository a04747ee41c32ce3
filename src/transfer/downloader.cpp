#include "transfer/downloader.h"

#include "transfer/httpstream.h"

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

Downloader::Downloader(QObject *parent) : QObject(parent)
{
    m_watchdog.setInterval(1000);
    connect(&m_watchdog, &QTimer::timeout, this, &Downloader::watchdogTick);
}

Downloader::~Downloader()
{
    CancelAsyncRead();
}

void Downloader::BeginDownload(const QString &url, const QString &saveFile, const QString &referer)
{
    CancelAsyncRead();
    m_saveFile = saveFile;
    m_referer = referer.toUtf8();
    m_lastProgress.start();
    m_readBytes = m_watchedBytes = 0;
    m_end = {};
    m_watchdog.start();
    m_url = QString(url).replace(u"&amp;"_s, u"&"_s).trimmed();
    m_phase = Phase::Reading;
    startRead();
}

void Downloader::startRead()
{
    HttpStream::Options options;
    options.followRedirects = true;
    options.referer = m_referer; // some servers refuse a file without the page it was linked on
    m_stream.reset(new HttpStream(QUrl(m_url), options));
    connect(m_stream.get(), &HttpStream::headersReady, this, &Downloader::onHeaders);
    connect(m_stream.get(), &HttpStream::bodyWritten, this, &Downloader::onProgress);
    connect(m_stream.get(), &HttpStream::finished, this, &Downloader::onFinished);
    if (!m_stream->writeTo(m_saveFile)) {
        // Nowhere to write: no point in fetching; report after the caller has returned.
        const QString reason = TransferReason::fileError(m_stream->fileErrorNumber());
        m_stream.reset();
        QMetaObject::invokeMethod(
            this,
            [this, reason] {
                if (isRunning())
                    fail(u"无法下载"_s, reason);
            },
            Qt::QueuedConnection);
    }
}

// An error answer, or a redirect that leads nowhere (the stream follows those that do), is no
// download, and fetching it again gives the same answer.
void Downloader::onHeaders()
{
    if (!isRunning() || !m_stream || m_stream->statusCode() < 300)
        return;
    m_end.httpStatus = m_stream->statusCode();
    m_end.retryAfter = m_stream->header("Retry-After");
    fail(u"无法下载"_s,
         TransferReason::httpStatus(m_stream->statusCode(), m_stream->reasonPhrase()));
}

void Downloader::onProgress(qint64 written)
{
    m_readBytes = written;
    const qint64 total = m_stream ? m_stream->announcedLength() : -1;
    const Phase phase = m_phase;
    emit BodyWritten(written, m_saveFile);
    // A handler may have abandoned the download (size limit).
    if (m_phase != phase || !m_stream)
        return;
    if (total >= 1)
        emit DownloadProgress(written, total, m_saveFile);
}

void Downloader::onFinished()
{
    if (!isRunning() || !m_stream)
        return;
    const qint64 written = m_stream->written();
    const qint64 total = m_stream->announcedLength();
    // The fallback fetch counts a body below two bytes as nothing.
    const qint64 least = m_phase == Phase::Fallback ? 2 : 1;
    m_end.finalUrl = m_stream->finalUrl();
    if (m_stream->deliveredWhole() && written >= least) {
        if (!m_stream->commit(m_replaceExisting ? ReplacingFile::Existing::ReplaceFile
                                                : ReplacingFile::Existing::KeepUnlessLeftover)) {
            const QString reason = TransferReason::commitFailed(m_saveFile, m_stream->targetTaken(),
                                                                m_stream->fileErrorNumber());
            m_stream.reset();
            fail(u"无法下载"_s, reason); // nothing could be written: not a completion
            return;
        }
        m_stream.reset();
        const bool fallback = m_phase == Phase::Fallback;
        m_phase = Phase::Done;
        m_watchdog.stop();
        const qint64 max = fallback || total < 1 ? written : total;
        m_end.state = TransferEnd::State::Finished;
        m_end.reason.clear();
        m_end.bytes = written;
        emit DownloadComplete(written, max, m_saveFile);
        return;
    }
    const QString reason =
        m_stream->deliveredWhole() ? TransferReason::emptyBody() : m_stream->failureReason();
    m_stream.reset();
    if (m_phase == Phase::Reading) {
        // Nothing usable: one more fetch of the whole body.
        m_phase = Phase::Fallback;
        startRead();
        return;
    }
    fail(u"无法下载"_s, reason);
}

void Downloader::watchdogTick()
{
    if (!isRunning())
        return;
    if (m_readBytes != m_watchedBytes) {
        m_watchedBytes = m_readBytes;
        m_lastProgress.start();
        return;
    }
    if (m_lastProgress.elapsed() >= m_stallLimitMs)
        fail(u"超时"_s, TransferReason::timedOut());
}

void Downloader::fail(const QString &missCode, const QString &reason)
{
    if (m_stream && m_stream->headersReceived())
        m_end.finalUrl = m_stream->finalUrl();
    // The answer's status and Retry-After, when they ended it, stay.
    m_end.state = TransferEnd::State::Failed;
    m_end.reason = reason;
    m_end.bytes = m_readBytes;
    qCInfo(lcTransfer) << "download failed:" << m_url << missCode << reason;
    dropOurFiles();
    m_phase = Phase::Done;
    emit DownloadError(missCode, m_saveFile);
}

void Downloader::CancelAsyncRead()
{
    if (isRunning())
        dropOurFiles();
    m_phase = m_phase == Phase::Idle ? Phase::Idle : Phase::Done;
}

void Downloader::dropOurFiles()
{
    m_watchdog.stop();
    m_stream.reset(); // aborts and removes the temporary body
}

} // namespace papyrant
