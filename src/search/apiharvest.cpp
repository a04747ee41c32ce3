#include "search/apiharvest.h"

#include "foundation/eventwait.h"
#include "search/resultpage.h"
#include "search/searchapi.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "transfer/sharednetwork.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QUrl>

#include <climits>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

// Off by default; QT_LOGGING_RULES="papyrant.search.api=true" shows every API request and its
// answer. The addresses logged are the shown ones: never with the appid.
Q_LOGGING_CATEGORY(lcSearchApi, "papyrant.search.api", QtCriticalMsg)

namespace {

// What a row made from a record leads to: the full text's landing page (or its DOI's).
const QString rowType = u"LINK"_s;

// Redirects an API answer may take (a moved endpoint, http to https).
constexpr int maxRedirects = 5;

// An HTTP error status with its body is an answer; only a failed transfer is not.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied
            && error <= QNetworkReply::UnknownContentError)
           || (error >= QNetworkReply::InternalServerError
               && error <= QNetworkReply::UnknownServerError)
           || error == QNetworkReply::ProtocolInvalidOperationError
           || error == QNetworkReply::ProxyAuthenticationRequiredError;
}

// Why no answer came, in words of our own: Qt's error strings carry the address, and with it
// the appid.
QString failureText(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError: return u"连接被拒绝"_s;
    case QNetworkReply::RemoteHostClosedError: return u"连接被服务器中断"_s;
    case QNetworkReply::HostNotFoundError: return u"找不到服务器"_s;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: return u"服务器无应答"_s;
    case QNetworkReply::SslHandshakeFailedError: return u"安全连接失败"_s;
    case QNetworkReply::TooManyRedirectsError: return u"重定向次数过多"_s;
    case QNetworkReply::InsecureRedirectError: return u"不安全的重定向"_s;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError: return u"代理服务器连接失败"_s;
    default: return u"网络错误（%1）"_s.arg(int(error));
    }
}

// The record's number for a row without any title: the last segment of its address.
QString recordNumber(const QString &recordAddress)
{
    QString path = QUrl(recordAddress).path();
    while (path.endsWith(u'/'))
        path.chop(1);
    return path.section(u'/', -1);
}

} // namespace

qint64 RetryBackoffSeconds(int throttleSeconds, int refusal, qint64 capSeconds)
{
    qint64 seconds = qMax(throttleSeconds, 1);
    for (int i = 0; i < refusal && seconds < capSeconds; ++i)
        seconds *= 2;
    return qMin(seconds, capSeconds);
}

ApiHarvest::ApiHarvest(SearchSession &session) : QObject(&session), m_session(session) {}

bool ApiHarvest::stopped() const
{
    return m_session.flags().BatchStopped();
}

int ApiHarvest::throttleSeconds() const
{
    // Read at each request: the user may change it during a batch. Text that is not a number
    // waits nothing, as a negative number does.
    const std::optional<int> delay =
        parseDelaySeconds(m_session.delayText ? m_session.delayText() : QString());
    return qMax(delay.value_or(0), 0);
}

bool ApiHarvest::pause(qint64 ms)
{
    if (ms <= 0)
        return !stopped();
    QPointer<ApiHarvest> alive(this);
    SearchRunFlags &flags = m_session.flags();
    EventWait wait([&] { return !alive || flags.BatchStopped(); });
    wait.endOnDestroyed(this)
        .wakeOn(&flags, &SearchRunFlags::changed)
        .run(int(qMin<qint64>(ms, INT_MAX)));
    return alive && !flags.BatchStopped();
}

std::optional<ApiHarvest::Answer> ApiHarvest::fetch(const QString &address, const QString &shown)
{
    Answer answer;
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http"_s && url.scheme() != u"https"_s)) {
        answer.failure = u"网址无效"_s;
        return answer;
    }
    QNetworkRequest request = MakeTransferRequest(url, {}, true, maxRedirects);
    request.setRawHeader("Accept", "application/json");
    // The system's proxy configuration, as the browser that the API stands in for uses.
    QPointer<QNetworkReply> reply = SharedNetworkManager().get(request);
    qCInfo(lcSearchApi) << "GET" << shown;

    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        if (answer.body.size() + reply->bytesAvailable() > MaxApiAnswerBytes) {
            tooLarge = true;
            reply->abort();
            return;
        }
        answer.body += reply->readAll();
    });
    // However the wait ends, the reply goes with it.
    const auto drop = qScopeGuard([&] {
        if (reply) {
            reply->disconnect();
            reply->abort();
            reply->deleteLater();
        }
    });

    QPointer<ApiHarvest> alive(this);
    SearchRunFlags &flags = m_session.flags();
    EventWait wait([&] { return !alive || !reply || reply->isFinished() || flags.BatchStopped(); });
    wait.endOnDestroyed(this)
        .wakeOn(reply.data(), &QNetworkReply::finished)
        .wakeOn(&flags, &SearchRunFlags::changed);
    const bool answered = wait.run(m_session.limits.apiAnswerWaitMs);
    if (!alive || flags.BatchStopped())
        return std::nullopt;
    if (!answered || !reply || !reply->isFinished()) {
        answer.failure = u"服务器在%1秒内无应答"_s.arg(m_session.limits.apiAnswerWaitMs / 1000);
        answer.body.clear();
        qCInfo(lcSearchApi) << "no answer in time:" << shown;
        return answer;
    }
    if (tooLarge) {
        answer.failure = u"应答过大（超过16MB），未读取"_s;
        answer.body.clear();
        return answer;
    }
    answer.body += reply->readAll();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (!status.isValid() || (error != QNetworkReply::NoError && !isHttpStatusError(error))) {
        answer.failure = failureText(error);
        answer.body.clear();
        qCInfo(lcSearchApi) << "no answer:" << shown << answer.failure;
        return answer;
    }
    answer.status = status.toInt();
    answer.retryAfter = reply->rawHeader("Retry-After");
    qCInfo(lcSearchApi) << "HTTP" << answer.status << shown << answer.body.size() << "bytes";
    return answer;
}

QString ApiHarvest::httpFailure(const QString &what, const Answer &answer)
{
    QString text = u"%1 HTTP %2"_s.arg(what).arg(answer.status);
    if (const QString said = ApiErrorText(answer.body); !said.isEmpty())
        text += u"："_s + said;
    return text;
}

ApiHarvest::Step ApiHarvest::request(const QString &address, const QString &shown, Answer &answer,
                                     QString &refusal,
                                     const std::function<void(const QString &)> &log)
{
    QPointer<ApiHarvest> alive(this);
    const qint64 cap = qMax(1, m_session.limits.apiRetryCapSeconds);
    const qint64 msPerSecond = m_session.limits.msPerDelaySecond;
    bool retry = false; // the wait before a retry stands in for the throttle
    for (int refused = 0;; ++refused) {
        if (m_requested && !retry && !pause(throttleSeconds() * msPerSecond))
            return Step::Stopped;
        m_requested = true;
        std::optional<Answer> got = fetch(address, shown);
        if (!alive || !got)
            return Step::Stopped;
        answer = *got;
        if (answer.status != 429 && answer.status != 503)
            return Step::Answered;

        refusal = u"HTTP %1"_s.arg(answer.status);
        // Still refused after a wait as long as the longest: the service means it.
        if (refused > 0 && RetryBackoffSeconds(throttleSeconds(), refused - 1, cap) >= cap)
            return Step::Refused;
        const std::optional<qint64> asked =
            RetryAfterSeconds(answer.retryAfter, QDateTime::currentDateTimeUtc());
        if (asked && *asked > cap) {
            // Hours away, or never: not worth holding the batch for.
            refusal += u"，要求%1秒后再试"_s.arg(*asked);
            return Step::Refused;
        }
        const qint64 seconds =
            asked ? *asked : RetryBackoffSeconds(throttleSeconds(), refused, cap);
        log(asked ? u"%1：按服务要求等待%2秒后重试 "_s.arg(refusal).arg(seconds)
                  : u"%1：等待%2秒后重试 "_s.arg(refusal).arg(seconds));
        qCInfo(lcSearchApi) << refusal << "for" << shown << "- retry in" << seconds << "s";
        if (!pause(seconds * msPerSecond))
            return Step::Stopped;
        retry = true;
    }
}

ApiHarvest::Outcome ApiHarvest::run(const QString &keyword, const QString &appid,
                                    const std::function<void(const QString &)> &log)
{
    QPointer<ApiHarvest> alive(this);
    SearchSession &s = m_session;
    m_appid = appid.trimmed();
    // The service may quote the request in what it says; the appid goes no further.
    const auto say = [this, &log](QString text) {
        if (!m_appid.isEmpty())
            text.replace(m_appid, u"***"_s);
        log(text);
    };
    const auto failed = [&](const QString &reason) {
        say(u"出错：%1，本关键词结束 "_s.arg(reason));
        return Outcome::KeywordFailed;
    };

    // As a refusal page does: Blocked is raised and the status bar says why.
    const auto refused = [&](const QString &reason) {
        ResultPage page;
        page.verdict = ResultPage::Verdict::Blocked;
        page.blocked = true;
        page.reason = reason;
        s.addResultPage(page);
        return Outcome::Refused;
    };

    say(keyword + u"(API) "_s);
    ApiQuery query = ServiceApiQuery(s.profile(), keyword);
    if (query.endpoint.isEmpty())
        return failed(u"检索服务「%1」没有API"_s.arg(s.profile().name));
    const QString saveFolder = s.extractionSaveFolder();
    qint64 hits = -1;
    int added = 0;
    QSet<QString> recordsRead;
    for (qint64 start = 1; start > 0;) {
        query.start = start;
        const QString shown = ApiPageAddress(query);
        Answer answer;
        QString refusal;
        const Step step = request(ApiRequestAddress(query, m_appid), shown, answer, refusal, say);
        if (step == Step::Stopped || !alive)
            return Outcome::Stopped;
        if (step == Step::Refused)
            return refused(refusal);
        if (!answer.failure.isEmpty())
            return failed(u"API请求失败（%1）"_s.arg(answer.failure));
        if (answer.status != 200)
            return failed(httpFailure(u"API应答"_s, answer));
        const ApiPage page = ReadApiPage(answer.body);
        if (!page.ok)
            return failed(page.error);
        if (hits < 0)
            hits = page.totalResults >= 0 ? page.totalResults : 0;

        for (const ApiItem &item : page.items) {
            const QString json = RecordJsonAddress(item.recordAddress);
            if (json.isEmpty() || recordsRead.contains(json)) {
                qCInfo(lcSearchApi) << "no record to read for" << item.recordAddress;
                continue;
            }
            recordsRead.insert(json);
            Answer recordAnswer;
            const Step recordStep = request(json, json, recordAnswer, refusal, say);
            if (recordStep == Step::Stopped || !alive)
                return Outcome::Stopped;
            if (recordStep == Step::Refused)
                return refused(refusal);
            if (!recordAnswer.failure.isEmpty())
                return failed(u"记录请求失败（%1）"_s.arg(recordAnswer.failure));
            if (recordAnswer.status != 200)
                return failed(httpFailure(u"记录JSON"_s, recordAnswer));
            const ApiRecord record = ReadApiRecord(recordAnswer.body);
            if (!record.ok)
                return failed(record.error);
            const QString link = RecordFullTextAddress(record);
            if (link.isEmpty())
                continue;
            QString title = record.title.isEmpty() ? item.title : record.title;
            if (title.isEmpty())
                title = recordNumber(item.recordAddress);
            if (s.list().加入LV1(title, link, item.recordAddress, rowType, saveFolder)) {
                ++added;
                emit s.countChanged(s.list().count());
            }
        }
        const qint64 next = NextApiStart(page, start);
        // A server that hands back the same start again would be asked for ever.
        start = next > start ? next : 0;
    }
    say(u"命中%1条，加入%2条 "_s.arg(hits).arg(added));
    emit s.autoSizeColumns();
    return Outcome::Done;
}

} // namespace papyrant
