#include "transfer/uxmlhttp.h"

#include "foundation/replacingfile.h"
#include "transfer/sharednetwork.h"

#include <QHash>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

// Off by default; QT_LOGGING_RULES="papyrant.transfer.xmlhttp=true" shows why a request failed.
Q_LOGGING_CATEGORY(lcXmlHttp, "papyrant.transfer.xmlhttp", QtCriticalMsg)

namespace {

const QHash<int, QString> &statusTable()
{
    static const QHash<int, QString> table = {
        {100, u"客户必须继续发出请求"_s},
        {101, u"客户要求服务器根据请求转换HTTP协议版本"_s},
        {200, u"交易成功"_s},
        {201, u"提示知道新文件的URL"_s},
        {202, u"接受和处理?但处理未完成"_s},
        {203, u"返回信息不确定或不完整"_s},
        {204, u"请求收到，但返回信息为空"_s},
        {205, u"服务器完成了请求，用户代理必须复位当前已经浏览过的文件"_s},
        {206, u"服务器已经完成了部分用户的GET请求"_s},
        {300, u"请求的资源可在多处得到"_s},
        {301, u"删除请求数据"_s},
        {302, u"在其他地址发现了请求数据"_s},
        {303, u"建议客户访问其他URL或访问方式"_s},
        {304, u"客户端已经执行了GET，但文件未变化"_s},
        {305, u"请求的资源必须从服务器指定的地址得到"_s},
        {306, u"前一版本HTTP中使用的代码，现行版本中不再使用"_s},
        {307, u"申明请求的资源临时性删除"_s},
        {400, u"错误请求，如语法错误"_s},
        {401, u"请求授权失败"_s},
        {402, u"保留有效ChargeTo头响应"_s},
        {403, u"请求不允许"_s},
        {404, u"没有发现文件?查询或URl"_s},
        {405, u"用户在Request -Line字段定义的方法不允许"_s},
        {406, u"根据用户发送的Accept拖，请求资源不可访问"_s},
        {407, u"类似401，用户必须首先在代理服务器上得到授权"_s},
        {408, u"客户端没有在用户指定的饿时间内完成请求"_s},
        {409, u"对当前资源状态，请求不能完成"_s},
        {410, u"服务器上不再有此资源且无进一步的参考地址"_s},
        {411, u"服务器拒绝用户定义的Content -Length属性请求"_s},
        {412, u"一个或多个请求头字段在当前请求中错误"_s},
        {413, u"请求的资源大于服务器允许的大小"_s},
        {414, u"请求的资源URL长于服务器允许的长度"_s},
        {415, u"请求资源不支持请求项目格式"_s},
        {416,
         u"请求中包含Range请求头字段，在当前请求资源范围内没有range指示值，请求也不包含If-Range请求头字段"_s},
        {417,
         u"服务器不满足请求Expect头字段指定的期望值，如果是代理服务器，可能是下一级服务器不能满足请求"_s},
        {500, u"服务器产生内部错误"_s},
        {501, u"服务器不支持请求的函数"_s},
        {502, u"服务器暂时不可用，有时是为了防止发生系统过载"_s},
        {503, u"服务器过载或暂停维修"_s},
        {504, u"关口过载，服务器使用另一个关口或服务来响应用户，等待时间设定值较长"_s},
        {505, u"服务器不支持或拒绝支请求头中指定的HTTP版本"_s},
    };
    return table;
}

// The errors Qt reports for an HTTP error status (content, server and a few protocol and proxy
// errors). With a status of 400 or more they are the answer's own page; below 400 the same
// codes mean that the transfer broke (299: a body that could not be decoded).
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied
            && error <= QNetworkReply::UnknownContentError)
           || (error >= QNetworkReply::InternalServerError
               && error <= QNetworkReply::UnknownServerError)
           || error == QNetworkReply::ProtocolInvalidOperationError // 400
           || error == QNetworkReply::ProxyAuthenticationRequiredError;
}

QByteArray charsetOf(const QByteArray &contentType)
{
    static const QRegularExpression charset(u"charset\\s*=\\s*\"?([^\";\\s]+)"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = charset.match(QString::fromLatin1(contentType));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

} // namespace

uXMLHTTP::uXMLHTTP(QObject *parent) : QObject(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(30000);
    connect(&m_timeout, &QTimer::timeout, this, &uXMLHTTP::onTimeout);
}

uXMLHTTP::~uXMLHTTP()
{
    dropReply();
}

QString uXMLHTTP::StatusDescription(int code)
{
    return statusTable().value(code);
}

QString uXMLHTTP::saveFailedText()
{
    return u"文件保存失败"_s;
}

bool uXMLHTTP::Open_(const QString &AMethod, const QString &AUrl, const QString &保存路径,
                     QString *error)
{
    dropReply();
    m_downOK = false;
    m_opened = false;
    m_status = 0;
    m_statusText.clear();
    m_body.clear();
    m_requestHeaders.clear();
    m_responseHeaders.clear();
    m_readyState = 0;

    const QUrl url(AUrl.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const QString method = AMethod.trimmed().toUpper();
    QString why;
    if (method.isEmpty())
        why = u"没有请求方法"_s;
    else if (!url.isValid() || url.host().isEmpty()
             || (scheme != u"http"_s && scheme != u"https"_s))
        why = u"网址无效: "_s + AUrl;
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    m_method = method;
    m_url = url.toString(QUrl::FullyEncoded);
    m_savePath = 保存路径;
    m_opened = true;
    setReadyState(1);
    return true;
}

void uXMLHTTP::SetRequestHeader(const QString &AHeader, const QString &AValue)
{
    if (!m_opened || m_reply || AHeader.trimmed().isEmpty())
        return;
    m_requestHeaders.append({AHeader.trimmed().toUtf8(), AValue.toUtf8()});
}

void uXMLHTTP::Send_(const QString &ABody)
{
    if (!m_opened || m_reply || m_downOK)
        return;
    QNetworkRequest request{QUrl(m_url)};
    for (const auto &[name, value] : m_requestHeaders)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(0); // our own timer decides
    const QByteArray body = ABody.toUtf8();
    m_reply = body.isEmpty() && m_method == u"GET"_s
                  ? SharedNetworkManager().get(request)
                  : SharedNetworkManager().sendCustomRequest(request, m_method.toLatin1(), body);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &uXMLHTTP::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &uXMLHTTP::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &uXMLHTTP::onFinished);
    connect(m_reply, &QNetworkReply::uploadProgress, &m_timeout, qOverload<>(&QTimer::start));
    m_timeout.start();
}

void uXMLHTTP::Abort_()
{
    dropReply();
    m_opened = false;
}

QString uXMLHTTP::GetResponseHeader(const QString &AHeader) const
{
    const QByteArray wanted = AHeader.trimmed().toLatin1().toLower();
    QStringList values;
    for (const auto &[name, value] : m_responseHeaders) {
        if (name.toLower() == wanted)
            values << HeaderBytesToText(value);
    }
    return values.join(u", "_s);
}

QString uXMLHTTP::GetAllResponseHeaders() const
{
    QString text;
    for (const auto &[name, value] : m_responseHeaders)
        text += HeaderBytesToText(name) + u": "_s + HeaderBytesToText(value) + u"\r\n"_s;
    return text;
}

QString uXMLHTTP::ResponseText() const
{
    const QByteArray charset = charsetOf(GetResponseHeader(u"Content-Type"_s).toLatin1());
    if (!charset.isEmpty()) {
        QStringDecoder named(charset.constData());
        if (named.isValid())
            return named.decode(m_body);
    }
    const auto bom = QStringConverter::encodingForData(m_body);
    QStringDecoder decoder(bom.value_or(QStringConverter::Utf8));
    return decoder.decode(m_body);
}

void uXMLHTTP::setReadyState(int state)
{
    m_readyState = state;
    emit OnReadyStateChange();
}

void uXMLHTTP::onMetaData()
{
    if (!m_reply)
        return;
    m_timeout.start();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    // A followed redirect reports new headers; the last answer counts.
    m_responseHeaders = m_reply->rawHeaderPairs();
    m_statusText = HeaderBytesToText(
        m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    m_body.clear();
    if (m_readyState < 2)
        setReadyState(2);
}

void uXMLHTTP::onReadyRead()
{
    if (!m_reply)
        return;
    m_timeout.start();
    if (m_body.size() + m_reply->bytesAvailable() > m_maxBodyBytes) {
        qCWarning(lcXmlHttp) << "answer larger than" << m_maxBodyBytes << "bytes:" << m_url;
        complete(false);
        return;
    }
    m_body += m_reply->readAll();
    setReadyState(3);
}

void uXMLHTTP::onFinished()
{
    if (!m_reply)
        return;
    if (m_readyState < 2) // an answer without body may end without a separate report
        onMetaData();
    if (m_reply->bytesAvailable() > 0) {
        onReadyRead();
        if (!m_reply)
            return;
    }
    const QNetworkReply::NetworkError error = m_reply->error();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An error is an error page only when the status says so; a 2xx whose body broke or could
    // not be decoded is no answer.
    const bool delivered =
        status.isValid()
        && (error == QNetworkReply::NoError || (status.toInt() >= 400 && isHttpStatusError(error)));
    if (!delivered)
        qCInfo(lcXmlHttp) << "request failed:" << m_url << "status" << status.toInt() << error
                          << m_reply->errorString();
    complete(delivered);
}

void uXMLHTTP::onTimeout()
{
    qCInfo(lcXmlHttp) << "no answer within" << m_timeout.interval() << "ms:" << m_url;
    complete(false);
}

void uXMLHTTP::complete(bool delivered)
{
    if (delivered)
        m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    else {
        // Half an answer is no answer.
        m_status = 0;
        m_body.clear();
    }
    dropReply();
    m_opened = false;
    m_downOK = true;
    setReadyState(4);
    if (m_status != 200) {
        emit OnDateErr(StatusDescription(m_status));
        return;
    }
    if (!m_savePath.isEmpty() && !m_body.isEmpty()) {
        // Replaced in one step: a failed save keeps the file that was there.
        ReplacingFile file(m_savePath);
        if (!file.open() || file.write(m_body.constData(), m_body.size()) != m_body.size()
            || !file.commit()) {
            qCWarning(lcXmlHttp) << "could not save the answer to" << m_savePath;
            emit OnDateErr(saveFailedText());
            return;
        }
    }
    emit OnDateArrived();
}

void uXMLHTTP::dropReply()
{
    m_timeout.stop();
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

} // namespace papyrant
