#include "download/methodone.h"

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/scheduler.h"
#include "foundation/contenttype.h"
#include "foundation/encoding.h"
#include "foundation/fileentry.h"
#include "foundation/filenames.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

namespace {

// The watch timer looks at the time limits and the stop request at least this often.
constexpr int WatchMs = 250;

// The extension of a file name: the letters a-z after its last ".", at most five of them.
QString extensionOfFileName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString tail = name.mid(dot + 1).trimmed();
    qsizetype n = 0;
    while (n < tail.size()
           && ((tail[n] >= u'a' && tail[n] <= u'z') || (tail[n] >= u'A' && tail[n] <= u'Z')))
        ++n;
    return n > 5 ? QString() : tail.left(n);
}

// The text of a parameter value up to its first ";", trimmed.
QString parameterValue(const QString &value, qsizetype from)
{
    QString rest = value.mid(from).trimmed();
    const qsizetype semicolon = rest.indexOf(u';');
    if (semicolon >= 0)
        rest = rest.left(semicolon).trimmed();
    return rest;
}

// RFC 5987 ext-value: charset'language'percent-encoded name.
QString decodeExtValue(const QString &text)
{
    const qsizetype first = text.indexOf(u'\'');
    const qsizetype second = first < 0 ? -1 : text.indexOf(u'\'', first + 1);
    if (second < 0)
        return {};
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.mid(second + 1).toLatin1());
    QStringDecoder decoder(text.left(first).trimmed().toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}

bool isNumber(const QString &text, double *value = nullptr)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (value)
        *value = v;
    return ok && std::isfinite(v);
}

} // namespace

QString 从网络文件Header获取ContentDisposition(const QString &rawHeaders)
{
    for (const QString &line : rawHeaders.split(u"\r\n"_s)) {
        const QString trimmed = line.trimmed();
        if (trimmed.left(20).toLower() == u"content-disposition:"_s)
            return trimmed.mid(20).trimmed();
    }
    return {};
}

QString 从下载头信息ContentDisposition获取文件名(const QString &value)
{
    const QString text = value.trimmed();
    const qsizetype star = text.indexOf(u"filename*="_s, 0, Qt::CaseInsensitive);
    if (star >= 0) {
        const QString name = decodeExtValue(parameterValue(text, star + 10).remove(u'"'));
        if (!name.isEmpty())
            return extensionOfFileName(CleanHeaderValue(name));
    }
    const qsizetype at = text.indexOf(u"filename="_s, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    QString name = parameterValue(text, at + 9);
    name.remove(u'"').remove(u'\'');
    return extensionOfFileName(CleanHeaderValue(name));
}

RemoteEndpoint 连接设置(const QString &url, const ProxySettings &proxy)
{
    RemoteEndpoint endpoint;
    QUrl request(url.trimmed());
    endpoint.https = url.trimmed().startsWith(u"https://"_s, Qt::CaseInsensitive);
    // The port written in the URL counts, also for HTTPS and when no path follows it.
    endpoint.port = request.port(endpoint.https ? 443 : 80);
    endpoint.viaProxy = proxy.enabled && !proxy.host.trimmed().isEmpty();
    endpoint.requestUrl = request;
    return endpoint;
}

QString TransferStateText(int state, int code, const QString &text)
{
    static const char16_t *const texts[] = {
        u"0 无状态可报告。",
        u"1 正在查询所指定的主机的 IP 地址...",
        u"2 已成功地找到所指定的主机的 IP 地址。",
        u"3 正在与主机连接...",
        u"4 已与主机连接成功。",
        u"5 正在向主机发送请求...",
        u"6 发送请求已成功。",
        u"7 正在接收主机的响应...",
        u"8 已成功地接收到主机的响应。",
        u"9 正在解除与主机的连接...",
        u"10 已成功地与主机解除了连接。",
        u"11 与主机通讯时出现了错误:",
        u"12 该请求已经完成，并且所有数据均已接收到。",
    };
    const QString answer = QString::number(code) + u':' + text;
    if (state == 11)
        return QString::fromUtf16(texts[11]) + answer;
    if (state >= 0 && state <= 12)
        return QString::fromUtf16(texts[state]);
    return answer;
}

MethodOne::MethodOne(DownloadSession &session, QObject *parent)
    : QObject(parent), proxy(ReadProxySettings()), m_session(session)
{
    connect(&m_watch, &QTimer::timeout, this, &MethodOne::check);
    // "批量替换网址" may rewrite the key of the row being fetched.
    connect(&session.queue(), &DownloadQueue::keyChanged, this,
            [this](const QString &from, const QString &to) {
                if (m_key == from)
                    m_key = to;
            });
}

// The session may be gone already (it dies first when both belong to one window): only what
// is ours is dropped here.
MethodOne::~MethodOne()
{
    m_watch.stop();
    m_stream.reset(); // aborts the request and removes the partial file; no signal follows
}

bool MethodOne::isExecuting() const
{
    return m_stream && m_stream->isRunning();
}

void MethodOne::cancel()
{
    m_cancelled = true;
    if (isRunning())
        check(); // ends the transfer now
}

bool MethodOne::stopRequested() const
{
    return m_cancelled;
}

int MethodOne::pos() const
{
    return m_session.queue().positionOf(m_key);
}

void MethodOne::showState(int state)
{
    if (state == 11 && m_stream)
        emit m_session.statusText(
            3, TransferStateText(
                   11, m_stream->statusCode() ? m_stream->statusCode() : m_stream->errorCode(),
                   m_stream->errorText()));
    else
        emit m_session.statusText(3, TransferStateText(state));
}

void MethodOne::Inet下载当前文件(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (!queue.isValidPosition(position))
        return;
    if (isRunning() || isExecuting()) {
        queue.setState(position, QueueRow::Waiting);
        queue.setSize(position, QueueWords::sizeRetry());
        return;
    }
    m_session.beginRow(1, position);
    Inet下载文件(position);
}

void MethodOne::openStream(bool followRedirects)
{
    HttpStream::Options options;
    options.referer = m_referer;
    options.followRedirects = followRedirects;
    options.chunkSize = 2048;
    // The proxy as the options say now, for this request alone.
    options.proxy = TransferProxy(proxy);
    m_stream.reset(new HttpStream(m_url, options));
    connect(m_stream.get(), &HttpStream::headersReady, this, [this] {
        if (m_phase == Phase::Headers)
            showState(7);
        check();
    });
    connect(m_stream.get(), &HttpStream::finished, this, [this] {
        if (m_stream && !m_stream->deliveredWhole())
            showState(11);
        check();
    });
    connect(m_stream.get(), &HttpStream::bodyWritten, this, &MethodOne::onBodyWritten);
    m_waited.start();
}

void MethodOne::Inet下载文件(int position)
{
    const QueueRow row = m_session.queue().row(position);
    m_key = row.Urls;
    m_cancelled = false;
    m_target.clear();
    m_expected = 0;
    m_bytes = 0;
    m_finalUrl.clear();
    m_refusedStatus = 0;
    m_retryAfter.clear();
    const QString url = 选择url(m_key);
    m_url = 连接设置(url, proxy).requestUrl;
    m_referer = RefererFor(row.Referer, url).toUtf8();
    emit m_session.statusText(2, u"正在下载:"_s + row.Name);
    m_phase = Phase::Headers;
    openStream(false); // a redirect goes to the fallback fetch
    showState(5);
    const TransferLimits &limits = m_session.limits;
    m_watch.start(std::clamp(std::min(limits.headerWaitMs, limits.noProgressMs) / 4, 10, WatchMs));
}

// Every event of the transfer comes here: has the current step ended?
void MethodOne::check()
{
    switch (m_phase) {
    case Phase::Idle: return;
    case Phase::Headers:
    case Phase::FallbackHeaders:
        if (m_stream->headersReceived() || !m_stream->isRunning() || stopRequested()
            || m_waited.elapsed() > m_session.limits.headerWaitMs) {
            if (m_phase == Phase::Headers)
                onHeaders();
            else
                onFallbackHeaders();
        }
        return;
    case Phase::Body:
    case Phase::FallbackBody:
        if (const std::optional<BodyEnd> end = bodyOutcome()) {
            if (m_phase == Phase::Body)
                endBody(*end);
            else
                endFallback(*end);
        }
        return;
    }
}

void MethodOne::onHeaders()
{
    DownloadQueue &queue = m_session.queue();
    const QString raw = m_stream->rawHeaderText();
    if (raw.isEmpty()) {
        queue.setState(pos(), QueueRow::Failed);
        if (!m_stream->isRunning())
            return finish(false, streamReason());
        return finish(false,
                      stopRequested() ? TransferReason::cancelled() : TransferReason::timedOut());
    }
    m_finalUrl = m_stream->finalUrl();
    // An error answer is no file, whatever page comes with it (a login page that answers 200
    // is a page and is saved as one).
    const int status = m_stream->statusCode();
    if (status >= 400) {
        noteRefusal();
        return fail(QueueWords::sizeFailed(),
                    TransferReason::httpStatus(status, m_stream->reasonPhrase()));
    }

    // Length and size limit. A length that is not a whole number of bytes is no length.
    m_expected = qMax<qint64>(m_stream->announcedLength(), 0);
    if (m_expected / 1024.0 / 1024.0 > m_session.options.maxFileSizeMB) {
        queue.setState(pos(), QueueRow::Finished);
        queue.setPercent(pos(), QueueWords::percentTooLarge());
        return finish(false, TransferReason::tooLarge());
    }

    // Extension: content type, then Content-Disposition, then "a text page".
    const QStringList typeParts =
        HeaderBytesToText(m_stream->header("Content-Type")).trimmed().split(u';');
    const bool charsetGiven =
        typeParts.size() >= 2 && typeParts[1].trimmed().toLower().startsWith(u"charset="_s);
    QString extension = ExtensionForContentType(typeParts[0].trimmed());
    if (extension.isEmpty())
        extension =
            从下载头信息ContentDisposition获取文件名(从网络文件Header获取ContentDisposition(raw));
    if (extension.isEmpty() && charsetGiven)
        extension = u"htm"_s;
    const QString statusLine = raw.left(raw.indexOf(u"\r\n"_s)).toLower();
    const bool answerOk = statusLine.contains(u"200"_s) && statusLine.contains(u"ok"_s);

    // Name, folder and type of the row. A folder that cannot be made fails the row with the
    // reason, without a message: this runs in a transfer's signal.
    {
        const int p = pos();
        queue.setName(p, CleanFileName(queue.row(p).Name));
        const MadeFolder made = MakeFolderPath(queue.row(p).SaveFolder);
        if (made.path.isEmpty())
            return failWithReason(made.nameError ? QueueWords::reasonFolderName()
                                                 : QueueWords::reasonFolderNotMade());
        const QString folder = made.path.endsWith(u'/') ? made.path : made.path + u'/';
        queue.setSaveFolder(p, folder);
        if (!extension.isEmpty())
            queue.setType(p, extension);
    }
    const SameNameRule rule = m_session.options.sameName;
    SaveNames &names = m_session.names;
    {
        const int p = pos();
        const QueueRow &row = queue.row(p);
        if (rule == SameNameRule::Rename) {
            const SavePath free = 重命名保存路径(row.SaveFolder, row.Name, row.Type, rule, names);
            queue.setName(p, free.name);
            m_target = free.path;
        } else {
            m_target = RowFilePath(row);
        }
    }

    // Whatever names came from the title or the headers, the file stays in its folder.
    const QString folder = queue.row(pos()).SaveFolder;
    if (QDir::cleanPath(QFileInfo(m_target).absolutePath())
            != QDir::cleanPath(QFileInfo(folder).absoluteFilePath())
        || QFileInfo(m_target).fileName().isEmpty())
        return fail(QueueWords::sizeFailed(), TransferReason::badFileName());

    // The type from the answer may give a name whose file is there: "跳过" holds for it too.
    if (rule == SameNameRule::Skip) {
        const SaveNames::OnDisk found = names.onDisk(m_target);
        if (found.found == SaveNames::Found::File) {
            const int p = pos();
            const QString length = QString::number(QFileInfo(found.path).size());
            queue.setProgress(p, length, length, QueueWords::percentExists());
            queue.setState(p, QueueRow::Finished);
            return finish(false);
        }
    }

    // An existing file is replaced only by a finished body, in one rename, and only under
    // "覆盖" (or a leftover of an interrupted run); here we only make sure it can be replaced at
    // all. A link, even to a file, is never replaced nor written through.
    const EntryKind existing = EntryAt(m_target);
    if (existing != EntryKind::None) {
        const QFileInfo info(m_target);
        const bool replaceable = existing == EntryKind::File && info.isWritable()
                                 && QFileInfo(info.absolutePath()).isWritable();
        if (!replaceable) {
            const int p = pos();
            const QString length =
                existing == EntryKind::File ? QString::number(info.size()) : QString();
            queue.setProgress(p, length, length, QueueWords::percentCannotReplace());
            queue.setState(p, QueueRow::Failed);
            return finish(false, existing == EntryKind::File ? TransferReason::permissionDenied()
                                 : existing == EntryKind::Folder ? TransferReason::folderInTheWay()
                                                                 : TransferReason::nameTaken());
        }
    }
    m_targetName = names.reserve(m_target);

    // A redirect's own body is never the file: the fallback fetch follows it.
    if ((!(m_expected > 0) && !answerOk) || (status >= 300 && status < 400))
        return startFallback();

    // Chunked receive.
    queue.setSize(pos(), m_expected == 0 ? QueueWords::sizeUnknown() : QString::number(m_expected));
    queue.setReceived(pos(), u"0"_s);
    m_phase = Phase::Body;
    m_lastProgress.start();
    // Writing what has come so far reports it as progress, which may already end the body.
    const bool writing = m_stream->writeTo(m_target);
    if (m_phase != Phase::Body)
        return;
    if (!writing)
        return fail(QueueWords::sizeFailed(),
                    TransferReason::fileError(m_stream->fileErrorNumber()));
    check();
}

void MethodOne::onBodyWritten(qint64 written)
{
    if (m_phase != Phase::Body && m_phase != Phase::FallbackBody)
        return;
    showProgress(written);
    check();
}

// Progress goes into the row as the body arrives.
void MethodOne::showProgress(qint64 written)
{
    DownloadQueue &queue = m_session.queue();
    m_lastProgress.start();
    m_bytes = written;
    const int p = pos();
    queue.setReceived(p, QString::number(written));
    double size = 0;
    if (isNumber(queue.row(p).Size, &size) && size > 0)
        queue.setPercent(p, QString::number(qint64(std::floor(written / size * 100))) + u'%');
}

std::optional<MethodOne::BodyEnd> MethodOne::bodyOutcome() const
{
    const qint64 written = m_stream->written();
    if (m_stream->writeFailed())
        return BodyEnd::Broken;
    if (m_expected > 0) {
        if (written >= m_expected)
            return BodyEnd::Complete;
        // Ended short of its announced length (closed or reset).
        if (!m_stream->isRunning())
            return BodyEnd::Broken;
    } else {
        if (!m_stream->isRunning())
            return m_stream->deliveredWhole() ? BodyEnd::Complete : BodyEnd::Broken;
        if (written / 1024.0 / 1024.0 > m_session.options.maxFileSizeMB)
            return BodyEnd::TooLarge;
    }
    if (m_lastProgress.elapsed() > m_session.limits.noProgressMs)
        return BodyEnd::Stalled;
    if (stopRequested())
        return BodyEnd::Cancelled;
    return std::nullopt;
}

void MethodOne::endBody(BodyEnd end)
{
    DownloadQueue &queue = m_session.queue();
    switch (end) {
    case BodyEnd::Complete: {
        showState(12);
        m_bytes = m_stream->written();
        if (!commit())
            return fail(QueueWords::sizeFailed(), commitReason());
        const int p = pos();
        queue.setState(p, QueueRow::Finished);
        if (isNumber(queue.row(p).Received) && queue.row(p).Size == QueueWords::sizeUnknown())
            queue.setProgress(p, queue.row(p).Received, queue.row(p).Received,
                              QueueWords::percentComplete());
        return finish(true);
    }
    case BodyEnd::TooLarge:
        queue.setState(pos(), QueueRow::Finished);
        queue.setPercent(pos(), QueueWords::percentTooLarge());
        return finish(false, TransferReason::tooLarge());
    case BodyEnd::Stalled: return fail(QueueWords::sizeFailed(), TransferReason::timedOut());
    case BodyEnd::Broken: return fail(QueueWords::sizeFailed(), streamReason());
    case BodyEnd::Cancelled: return fail(QueueWords::sizeCancelled(), TransferReason::cancelled());
    }
}

// The whole body in one piece, redirects followed: for an answer that is neither OK nor of
// known length.
void MethodOne::startFallback()
{
    m_session.queue().setSize(pos(), QueueWords::sizeUnknown());
    m_phase = Phase::FallbackHeaders;
    openStream(true);
    if (!m_stream->writeTo(m_target))
        return endFallback(BodyEnd::Broken);
    check();
}

void MethodOne::onFallbackHeaders()
{
    if (!m_stream->headersReceived()) {
        if (stopRequested())
            return endFallback(BodyEnd::Cancelled);
        return endFallback(m_stream->isRunning() ? BodyEnd::Stalled : BodyEnd::Broken);
    }
    m_finalUrl = m_stream->finalUrl();
    // The redirects are followed here: an error, or a redirect that leads nowhere, is no file.
    const int status = m_stream->statusCode();
    if (status >= 300) {
        noteRefusal();
        return fail(QueueWords::sizeFailed(),
                    TransferReason::httpStatus(status, m_stream->reasonPhrase()));
    }
    const qint64 announced = m_stream->announcedLength();
    if (announced / 1024.0 / 1024.0 > m_session.options.maxFileSizeMB)
        return endFallback(BodyEnd::TooLarge);
    m_expected = qMax<qint64>(announced, 0);
    m_phase = Phase::FallbackBody;
    m_lastProgress.start();
    if (m_stream->written() > 0)
        showProgress(m_stream->written());
    check();
}

void MethodOne::endFallback(BodyEnd end)
{
    DownloadQueue &queue = m_session.queue();
    const qint64 written = m_stream->written();
    m_bytes = written;
    const int p = pos();
    if (end == BodyEnd::Complete && written >= 2 && commit()) {
        showState(12);
        queue.setProgress(p, QString::number(QFileInfo(m_target).size()), QString::number(written),
                          QueueWords::percentComplete());
        queue.setState(p, QueueRow::Finished);
        return finish(true);
    }
    QString reason;
    switch (end) {
    case BodyEnd::Complete:
        reason = written < 2 ? TransferReason::emptyBody() : commitReason();
        break;
    case BodyEnd::TooLarge: reason = TransferReason::tooLarge(); break;
    case BodyEnd::Stalled: reason = TransferReason::timedOut(); break;
    case BodyEnd::Cancelled: reason = TransferReason::cancelled(); break;
    case BodyEnd::Broken: reason = streamReason(); break;
    }
    m_stream.reset();
    if (end == BodyEnd::TooLarge) {
        queue.setProgress(p, QString(), QString(), QueueWords::percentTooLarge());
        queue.setState(p, QueueRow::Finished);
    } else if (end == BodyEnd::Cancelled) {
        queue.setProgress(p, QueueWords::sizeCancelled(), QString(), QString());
        queue.setState(p, QueueRow::Failed);
    } else {
        queue.setProgress(p, QString(), QString(), QString());
        queue.setState(p, QueueRow::Failed);
    }
    finish(false, reason);
}

// The answer's status refused the file: kept for the end, with the server's Retry-After.
void MethodOne::noteRefusal()
{
    m_refusedStatus = m_stream->statusCode();
    m_retryAfter = m_stream->header("Retry-After");
}

// Failed, stalled, cancelled, not writable: the partial file goes with the stream.
void MethodOne::fail(const QString &sizeWord, const QString &reason)
{
    m_stream.reset();
    m_session.queue().setSize(pos(), sizeWord);
    m_session.queue().setState(pos(), QueueRow::Failed);
    finish(false, reason);
}

void MethodOne::failWithReason(const QString &reason)
{
    m_stream.reset();
    FailRowWithReason(m_session.queue(), pos(), reason);
    finish(false, reason);
}

// The finished body under m_target, by the same-name rule.
bool MethodOne::commit()
{
    const bool replace = m_session.options.sameName == SameNameRule::Overwrite;
    if (!m_stream->commit(replace ? ReplacingFile::Existing::ReplaceFile
                                  : ReplacingFile::Existing::KeepUnlessLeftover))
        return false;
    m_session.fileCommitted(pos(), m_target);
    return true;
}

// Why the finished body could not be put in place.
QString MethodOne::commitReason() const
{
    return TransferReason::commitFailed(m_target, m_stream->targetTaken(),
                                        m_stream->fileErrorNumber());
}

// Why the stream ended without a whole body: the file, the connection or the answer.
QString MethodOne::streamReason() const
{
    if (!m_stream)
        return TransferReason::networkError();
    if (m_stream->fileErrorNumber() != 0)
        return TransferReason::fileError(m_stream->fileErrorNumber());
    if (m_stream->isRunning())
        return TransferReason::incomplete();
    return m_stream->failureReason().isEmpty() ? TransferReason::incomplete()
                                               : m_stream->failureReason();
}

// Every end passes here, once, with the reason of a failure or a skip.
void MethodOne::finish(bool delivered, const QString &reason)
{
    if (m_stream) {
        m_bytes = qMax(m_bytes, m_stream->written());
        if (m_stream->headersReceived())
            m_finalUrl = m_stream->finalUrl();
    }
    TransferEnd end;
    end.reason = reason;
    end.bytes = m_bytes;
    end.finalUrl = m_finalUrl;
    end.httpStatus = m_refusedStatus;
    end.retryAfter = m_retryAfter;
    const QueueRow &row = m_session.queue().row(pos());
    if (row.State == QueueRow::Finished)
        end.state = row.Percent == QueueWords::percentTooLarge() ? TransferEnd::State::Skipped
                                                                 : TransferEnd::State::Finished;
    else
        end.state = reason == TransferReason::cancelled() ? TransferEnd::State::Cancelled
                                                          : TransferEnd::State::Failed;
    m_phase = Phase::Idle;
    m_watch.stop();
    m_stream.reset();
    m_targetName.release();
    // Nothing of this object is used after the end path: a slot there may delete it.
    const QString key = m_key;
    m_session.endRow(key, delivered, 1, end);
}

} // namespace papyrant
