#include "download/methodone.h"

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/filetype.h"
#include "download/scheduler.h"
#include "foundation/contenttype.h"
#include "foundation/encoding.h"
#include "foundation/filenames.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimer>
#include <cmath>
#include <optional>

namespace papyrant {

using namespace Qt::Literals::StringLiterals;

namespace {

// The stop flag can be cleared without a call to cancel() (housekeeping tick): waits wake at
// least this often to look at it.
constexpr int FlagCheckMs = 250;

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

QString numberText(double value)
{
    if (std::abs(value) < 1e15 && value == std::floor(value))
        return QString::number(qint64(value));
    return QString::number(value, 'g', 17);
}

bool isPageType(const QString &type, bool withXml)
{
    const QString t = type.toLower();
    return t == u"htm"_s || t == u"html"_s || (withXml && t == u"xml"_s);
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

MethodOne::MethodOne(DownloadSession &session, Prompts &prompts, QObject *parent)
    : QObject(parent), proxy(ReadProxySettings()), m_session(session), m_prompts(prompts)
{
    m_wakeTimer.setSingleShot(true);
    connect(&m_wakeTimer, &QTimer::timeout, this, &MethodOne::wake);
}

MethodOne::~MethodOne()
{
    cancel();
}

bool MethodOne::isExecuting() const
{
    return m_stream && m_stream->isRunning();
}

void MethodOne::cancel()
{
    m_cancelled = true;
    wake();
}

bool MethodOne::stopRequested() const
{
    return m_cancelled || !m_session.Transferring;
}

void MethodOne::wake()
{
    if (m_loop)
        m_loop->quit();
}

bool MethodOne::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QEventLoop *outer = m_loop;
        m_loop = &loop;
        m_wakeTimer.start(int(qMin<qint64>(left, FlagCheckMs)));
        loop.exec();
        m_wakeTimer.stop();
        m_loop = outer;
    }
    return true;
}

void MethodOne::showState(int state)
{
    if (state == 11 && m_stream)
        emit m_session.statusText(3, TransferStateText(11, m_stream->statusCode()
                                                               ? m_stream->statusCode()
                                                               : m_stream->errorCode(),
                                                       m_stream->errorText()));
    else
        emit m_session.statusText(3, TransferStateText(state));
}

void MethodOne::Inet下载当前文件(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (isExecuting() || m_session.Transferring) {
        queue.setState(position, QueueRow::Waiting);
        queue.setSize(position, QueueWords::sizeRetry());
        return;
    }
    m_session.Transferring = true;
    Inet下载文件(position);
    m_session.Transferring = false;
}

MethodOne::BodyEnd MethodOne::receiveBody(const QString &key, double expected, bool limitUnknown)
{
    DownloadQueue &queue = m_session.queue();
    QElapsedTimer lastProgress;
    lastProgress.start();
    const double limitBytes = m_session.options.maxFileSizeMB * 1024 * 1024;
    // Progress goes into the row as the body arrives, without leaving the wait: the receive
    // loop itself only wakes for an end (whole, cut, too large, stalled, stopped).
    const auto showProgress = [&](qint64 written) {
        lastProgress.start();
        const int p = queue.positionOf(key);
        queue.setReceived(p, QString::number(written));
        double size = 0;
        if (queue.isValidPosition(p) && isNumber(queue.row(p).Size, &size) && size > 0)
            queue.setPercent(p, QString::number(qint64(std::floor(written / size * 100))) + u'%');
        if ((expected > 0 && written >= expected)
            || (expected <= 0 && limitUnknown && written > limitBytes))
            wake();
    };
    if (m_stream->written() > 0)
        showProgress(m_stream->written());
    const QMetaObject::Connection progress =
        connect(m_stream.get(), &HttpStream::bodyWritten, this, showProgress);
    const auto outcome = [&]() -> std::optional<BodyEnd> {
        const qint64 written = m_stream->written();
        if (m_stream->writeFailed())
            return BodyEnd::Broken;
        if (expected > 0) {
            if (written >= expected)
                return BodyEnd::Complete;
            // Ended short of its announced length (closed or reset).
            if (!m_stream->isRunning())
                return BodyEnd::Broken;
        } else {
            if (!m_stream->isRunning())
                return m_stream->deliveredWhole() ? BodyEnd::Complete : BodyEnd::Broken;
            if (limitUnknown && written > limitBytes)
                return BodyEnd::TooLarge;
        }
        if (lastProgress.elapsed() > m_session.limits.noProgressMs)
            return BodyEnd::Stalled;
        if (stopRequested())
            return BodyEnd::Cancelled;
        return std::nullopt;
    };
    std::optional<BodyEnd> end;
    while (!(end = outcome()))
        waitFor([&] { return outcome().has_value(); },
                int(qMax<qint64>(1, m_session.limits.noProgressMs - lastProgress.elapsed() + 1)));
    disconnect(progress);
    return *end;
}

bool MethodOne::Inet下载文件(int position)
{
    DownloadQueue &queue = m_session.queue();
    if (!queue.isValidPosition(position))
        return false;
    m_cancelled = false;
    const QString key = queue.row(position).Urls;
    const auto pos = [&] { return queue.positionOf(key); };
    const QString url = 选择url(key);

    // Connection settings.
    const RemoteEndpoint endpoint = 连接设置(url, proxy);
    ApplyProxy(proxy);
    m_session.Transferring = true;
    emit m_session.statusText(2, u"正在下载:"_s + queue.row(position).Name);

    const QString referer = queue.row(position).Referer.isEmpty() ? UrlSiteRoot(url)
                                                                  : queue.row(position).Referer;
    HttpStream::Options options;
    options.referer = referer.toUtf8();
    options.followRedirects = false; // a redirect goes to the fallback fetch
    options.chunkSize = 2048;
    bool result = false;
    bool sniff = false;

    const auto startStream = [&](const HttpStream::Options &o) {
        m_stream.reset(new HttpStream(endpoint.requestUrl, o));
        connect(m_stream.get(), &HttpStream::headersReady, this, [this] {
            showState(7);
            wake();
        });
        connect(m_stream.get(), &HttpStream::finished, this, [this] {
            if (m_stream && !m_stream->deliveredWhole())
                showState(11);
            wake();
        });
        showState(5);
        waitFor([&] { return m_stream->headersReceived() || !m_stream->isRunning() || stopRequested(); },
                m_session.limits.headerWaitMs);
    };

    const auto end = [&] {
        // Every end passes here.
        m_stream.reset();
        int p = pos();
        if (sniff && queue.isValidPosition(p)) {
            CorrectRowFileType(queue, p);
            p = pos();
            if (queue.isValidPosition(p))
                AddBaseLink(queue.row(p));
        }
        p = pos();
        if (queue.isValidPosition(p)) {
            const QueueRow &row = queue.row(p);
            emit m_session.statusText(2, u"完成下载:"_s + row.Name);
            const bool page = isPageType(row.Type, true);
            if (page)
                m_session.notify(101);
            if (row.State == QueueRow::Failed)
                m_session.notify(103);
            if (page && m_session.options.autoLogin)
                emit loginAutomationRequested(p);
        }
        m_session.markTransferEnded();
        return result;
    };

    startStream(options);
    const QString raw = m_stream->rawHeaderText();
    if (raw.isEmpty()) {
        queue.setState(pos(), QueueRow::Failed);
        return end();
    }

    // Length and size limit.
    // A negative length is no usable length either: the row shows "未知" and then the count.
    double expected = 0;
    if (!isNumber(HeaderBytesToText(m_stream->header("Content-Length")), &expected) || expected < 0)
        expected = 0;
    if (expected / 1024 / 1024 > m_session.options.maxFileSizeMB) {
        queue.setState(pos(), QueueRow::Finished);
        queue.setPercent(pos(), QueueWords::percentTooLarge());
        result = true;
        return end();
    }

    // Extension: content type, then Content-Disposition, then "a text page".
    const QStringList typeParts =
        HeaderBytesToText(m_stream->header("Content-Type")).trimmed().split(u';');
    bool charsetGiven = false;
    if (typeParts.size() >= 2 && typeParts[1].trimmed().toLower().startsWith(u"charset="_s))
        charsetGiven = true;
    QString extension = ExtensionForContentType(typeParts[0].trimmed());
    if (extension.isEmpty())
        extension = 从下载头信息ContentDisposition获取文件名(从网络文件Header获取ContentDisposition(raw));
    if (extension.isEmpty() && charsetGiven)
        extension = u"htm"_s;
    const QString statusLine = raw.left(raw.indexOf(u"\r\n"_s)).toLower();
    const bool answerOk = statusLine.contains(u"200"_s) && statusLine.contains(u"ok"_s);

    // Name, folder and type of the row.
    {
        const int p = pos();
        queue.setName(p, CleanFileName(queue.row(p).Name));
        QString folder = queue.row(p).SaveFolder;
        const QString created = CreateFolderPath(folder, m_prompts);
        // A folder that cannot be created stays as it was: the file then cannot be created,
        // rather than landing in the root folder.
        if (!created.isEmpty())
            folder = created;
        if (!folder.endsWith(u'/'))
            folder += u'/';
        queue.setSaveFolder(p, folder);
        if (!extension.isEmpty())
            queue.setType(p, extension);
    }
    QString target;
    {
        const int p = pos();
        const QueueRow &row = queue.row(p);
        if (m_session.options.sameName == SameNameRule::Rename) {
            const SavePath free = 重命名保存路径(row.SaveFolder, row.Name, row.Type,
                                                 m_session.options.sameName);
            queue.setName(p, free.name);
            target = free.path;
        } else {
            target = RowFilePath(row);
        }
    }

    // Whatever names came from the title or the headers, the file stays in its folder.
    const QString folder = queue.row(pos()).SaveFolder;
    if (QDir::cleanPath(QFileInfo(target).absolutePath())
            != QDir::cleanPath(QFileInfo(folder).absoluteFilePath())
        || QFileInfo(target).fileName().isEmpty()) {
        queue.setSize(pos(), QueueWords::sizeFailed());
        queue.setState(pos(), QueueRow::Failed);
        return end();
    }

    // An existing file is replaced only by a finished body, in one rename; here we only make
    // sure it can be replaced at all.
    const QFileInfo existing(target);
    if (existing.exists()) {
        const bool replaceable = existing.isFile() && existing.isWritable()
                                 && QFileInfo(existing.absolutePath()).isWritable();
        if (!replaceable) {
            const int p = pos();
            queue.setProgress(p, QString::number(existing.size()), QString::number(existing.size()),
                              QueueWords::percentCannotReplace());
            queue.setState(p, QueueRow::Failed);
            return end();
        }
    }

    if (!(expected > 0) && !answerOk) {
        result = fallbackFetch(key, endpoint.requestUrl, target, options.referer);
        sniff = result;
        return end();
    }

    // Chunked receive.
    queue.setSize(pos(), expected == 0 ? QueueWords::sizeUnknown() : numberText(expected));
    queue.setReceived(pos(), u"0"_s);
    if (!m_stream->writeTo(target)) {
        queue.setSize(pos(), QueueWords::sizeFailed());
        queue.setState(pos(), QueueRow::Failed);
        return end();
    }
    switch (receiveBody(key, expected, true)) {
    case BodyEnd::Complete:
        showState(12);
        if (!m_stream->commit()) {
            queue.setSize(pos(), QueueWords::sizeFailed());
            queue.setState(pos(), QueueRow::Failed);
            break;
        }
        queue.setState(pos(), QueueRow::Finished);
        if (isNumber(queue.row(pos()).Received) && queue.row(pos()).Size == QueueWords::sizeUnknown()) {
            queue.setSize(pos(), queue.row(pos()).Received);
            queue.setPercent(pos(), QueueWords::percentComplete());
        }
        result = sniff = true;
        break;
    case BodyEnd::TooLarge:
        queue.setState(pos(), QueueRow::Finished);
        queue.setPercent(pos(), QueueWords::percentTooLarge());
        result = true;
        break;
    case BodyEnd::Stalled:
    case BodyEnd::Broken:
        queue.setSize(pos(), QueueWords::sizeFailed());
        queue.setState(pos(), QueueRow::Failed);
        break;
    case BodyEnd::Cancelled:
        queue.setSize(pos(), QueueWords::sizeCancelled());
        queue.setState(pos(), QueueRow::Failed);
        break;
    }
    return end();
}

bool MethodOne::fallbackFetch(const QString &key, const QUrl &url, const QString &target,
                              const QByteArray &referer)
{
    DownloadQueue &queue = m_session.queue();
    const auto pos = [&] { return queue.positionOf(key); };
    queue.setSize(pos(), QueueWords::sizeUnknown());
    m_stream.reset();

    HttpStream::Options options;
    options.referer = referer;
    options.followRedirects = true;
    options.chunkSize = 2048;
    m_stream.reset(new HttpStream(url, options));
    connect(m_stream.get(), &HttpStream::headersReady, this, &MethodOne::wake);
    connect(m_stream.get(), &HttpStream::finished, this, &MethodOne::wake);
    BodyEnd outcome = BodyEnd::Broken;
    if (m_stream->writeTo(target)) {
        waitFor([&] { return m_stream->headersReceived() || !m_stream->isRunning() || stopRequested(); },
                m_session.limits.headerWaitMs);
        if (m_stream->headersReceived()) {
            const qint64 announced = m_stream->announcedLength();
            if (announced / 1024.0 / 1024.0 > m_session.options.maxFileSizeMB)
                outcome = BodyEnd::TooLarge;
            else
                outcome = receiveBody(key, double(qMax<qint64>(announced, 0)), true);
        } else if (stopRequested()) {
            outcome = BodyEnd::Cancelled;
        }
    }
    const qint64 written = m_stream->written();
    const int p = pos();
    if (outcome == BodyEnd::Complete && written >= 2 && m_stream->commit()) {
        showState(12);
        queue.setProgress(p, QString::number(QFileInfo(target).size()), QString::number(written),
                          QueueWords::percentComplete());
        queue.setState(p, QueueRow::Finished);
        return true;
    }
    m_stream.reset();
    if (outcome == BodyEnd::TooLarge) {
        queue.setProgress(p, QString(), QString(), QueueWords::percentTooLarge());
        queue.setState(p, QueueRow::Finished);
        return false;
    }
    if (outcome == BodyEnd::Cancelled) {
        queue.setProgress(p, QueueWords::sizeCancelled(), QString(), QString());
        queue.setState(p, QueueRow::Failed);
        return false;
    }
    queue.setProgress(p, QString(), QString(), QString());
    queue.setState(p, QueueRow::Failed);
    return false;
}

} // namespace papyrant
