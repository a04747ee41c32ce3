#include "search/searchapi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// Nested values are followed this deep; a JSON-LD value is never deeper.
constexpr int maxValueDepth = 8;
// An error text from the service goes to the batch log: one line, not a page.
constexpr qsizetype maxErrorText = 200;

QString textOf(const QJsonValue &value, int depth = 0);

// A list: an array's elements, or the one value itself (JSON-LD drops the brackets of a list
// of one); nothing for null or a missing key.
QJsonArray listOf(const QJsonValue &value)
{
    if (value.isArray())
        return value.toArray();
    if (value.isUndefined() || value.isNull())
        return {};
    return QJsonArray{value};
}

QString numberText(double d)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    return QString::number(d);
}

// The text of a value: a string, a number, an object's "@value" (or its "@id"), or the first
// element of an array that has one; trimmed.
QString textOf(const QJsonValue &value, int depth)
{
    if (depth > maxValueDepth)
        return {};
    switch (value.type()) {
    case QJsonValue::String: return value.toString().trimmed();
    case QJsonValue::Double: return numberText(value.toDouble());
    case QJsonValue::Object: {
        const QJsonObject o = value.toObject();
        if (const QString v = textOf(o.value(u"@value"_s), depth + 1); !v.isEmpty())
            return v;
        return textOf(o.value(u"@id"_s), depth + 1);
    }
    case QJsonValue::Array:
        for (const QJsonValue &v : value.toArray())
            if (const QString t = textOf(v, depth + 1); !t.isEmpty())
                return t;
        return {};
    default: return {};
    }
}

QStringList textsOf(const QJsonValue &value)
{
    QStringList out;
    for (const QJsonValue &v : listOf(value))
        if (const QString t = textOf(v); !t.isEmpty())
            out.append(t);
    return out;
}

// An address: a string, or an object's "@id" (else its "@value").
QString addressOf(const QJsonValue &value)
{
    if (value.isObject()) {
        const QJsonObject o = value.toObject();
        if (const QString id = textOf(o.value(u"@id"_s)); !id.isEmpty())
            return id;
        return textOf(o.value(u"@value"_s));
    }
    return textOf(value);
}

// A count such as "opensearch:totalResults", as a number or digits; -1 when missing or not a
// count.
qint64 countOf(const QJsonValue &value)
{
    double d = -1;
    if (value.isDouble()) {
        d = value.toDouble();
    } else {
        bool ok = false;
        d = textOf(value).toDouble(&ok);
        if (!ok)
            return -1;
    }
    if (!std::isfinite(d) || d < 0)
        return -1;
    return d >= 9e15 ? qint64(9e15) : qint64(d);
}

// Typed identifiers: {"@type": "cir:DOI", "@value": "..."}, or the record's form
// {"identifier": {"@type": "DOI", "@value": "..."}}; "type" and "value" are taken too.
QList<ApiIdentifier> identifiersOf(const QJsonValue &value)
{
    QList<ApiIdentifier> out;
    for (const QJsonValue &entry : listOf(value)) {
        QJsonObject o = entry.toObject();
        if (o.value(u"identifier"_s).isObject())
            o = o.value(u"identifier"_s).toObject();
        QString type = textOf(o.value(u"@type"_s));
        if (type.isEmpty())
            type = textOf(o.value(u"type"_s));
        QString text = entry.isObject() ? textOf(o.value(u"@value"_s)) : textOf(entry);
        if (text.isEmpty())
            text = textOf(o.value(u"value"_s));
        if (text.isEmpty())
            text = textOf(o.value(u"@id"_s));
        if (!text.isEmpty())
            out.append({type, text});
    }
    return out;
}

QString firstText(const QJsonObject &o, std::initializer_list<QString> keys)
{
    for (const QString &key : keys)
        if (const QString t = textOf(o.value(key)); !t.isEmpty())
            return t;
    return {};
}

bool isHttpAddress(const QString &text)
{
    const QUrl url(text, QUrl::TolerantMode);
    return url.isValid() && (url.scheme() == u"http"_s || url.scheme() == u"https"_s)
           && !url.host().isEmpty();
}

QString oneLine(QString text)
{
    text = text.simplified();
    if (text.size() > maxErrorText)
        text = text.left(maxErrorText) + u"…"_s;
    return text;
}

// The message of an error answer, if the object is one: {"error": "..."},
// {"error": {"message": "..."}}, {"errors": [...]}, or a lone "message".
QString errorMessageOf(const QJsonObject &o)
{
    for (const QString &key : {u"error"_s, u"errors"_s}) {
        const QJsonValue e = o.value(key);
        if (e.isUndefined() || e.isNull() || e == QJsonValue(false))
            continue;
        QString text;
        for (const QJsonValue &v : listOf(e)) {
            if (v.isObject()) {
                const QJsonObject eo = v.toObject();
                text = firstText(eo, {u"message"_s, u"description"_s, u"error_description"_s,
                                      u"detail"_s, u"code"_s});
            } else {
                text = textOf(v);
            }
            if (!text.isEmpty())
                break;
        }
        return text.isEmpty() ? u"（无说明）"_s : oneLine(text);
    }
    return {};
}

// An answer that ends inside a string or with brackets still open was cut short in transfer
// (a cut may also split a character, which the JSON reader reports as bad text instead).
bool looksCutShort(QByteArrayView json)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && --depth <= 0) {
            return false; // the value closed; whatever is wrong is not a cut
        }
    }
    return inString || depth > 0;
}

// Parses an answer into its top-level object; on failure the reason, worded for what was
// read ("API应答", "记录JSON").
bool parseObject(QByteArrayView json, const QString &what, QJsonObject &out, QString &error)
{
    if (json.size() > MaxApiAnswerBytes) {
        error = what + u"过大（超过16MB），未读取"_s;
        return false;
    }
    const QByteArray bytes = json.toByteArray();
    if (bytes.trimmed().isEmpty()) {
        error = what + u"为空"_s;
        return false;
    }
    if (bytes.trimmed().startsWith('<')) {
        error = what + u"不是JSON，而是网页或XML"_s;
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = looksCutShort(bytes)
                    ? what + u"不完整（收到%1字节后中断）"_s.arg(bytes.size())
                    : what + u"不是有效的JSON（第%1字节处有误）"_s.arg(parseError.offset);
        return false;
    }
    if (!doc.isObject()) {
        error = what + u"格式不符：顶层不是对象"_s;
        return false;
    }
    out = doc.object();
    if (const QString message = errorMessageOf(out); !message.isEmpty()) {
        error = u"服务返回错误："_s + message;
        return false;
    }
    return true;
}

ApiItem itemOf(const QJsonObject &o)
{
    ApiItem item;
    item.recordAddress = addressOf(o.value(u"@id"_s));
    if (!isHttpAddress(item.recordAddress)) {
        const QString link = addressOf(o.value(u"link"_s));
        if (!link.isEmpty())
            item.recordAddress = link;
    }
    item.title = firstText(o, {u"title"_s, u"dc:title"_s});
    item.creators = textsOf(o.value(u"dc:creator"_s));
    item.publicationName = textOf(o.value(u"prism:publicationName"_s));
    item.publicationDate = textOf(o.value(u"prism:publicationDate"_s));
    item.identifiers = identifiersOf(o.value(u"dc:identifier"_s));
    return item;
}

// Percent-encodes a query name or value as UTF-8; only unreserved characters stay.
QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

bool isReservedParameter(const QString &name)
{
    for (const QString &n : {u"q"_s, u"count"_s, u"start"_s, u"format"_s, u"appid"_s})
        if (name.trimmed().compare(n, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QString IdentifierValue(const QList<ApiIdentifier> &identifiers, QStringView type)
{
    for (const ApiIdentifier &id : identifiers) {
        QStringView t = id.type;
        if (const qsizetype colon = t.lastIndexOf(u':'); colon >= 0)
            t = t.sliced(colon + 1);
        if (t.compare(type, Qt::CaseInsensitive) == 0)
            return id.value;
    }
    return {};
}

ApiPage ReadApiPage(QByteArrayView json)
{
    ApiPage page;
    QJsonObject o;
    if (!parseObject(json, u"API应答"_s, o, page.error))
        return page;
    const QJsonValue items = o.value(u"items"_s);
    const QJsonValue total = o.value(u"opensearch:totalResults"_s);
    if (items.isUndefined() && total.isUndefined()) {
        page.error = u"API应答中没有检索结果（缺少opensearch:totalResults和items）"_s;
        return page;
    }
    page.ok = true;
    page.totalResults = countOf(total);
    page.startIndex = countOf(o.value(u"opensearch:startIndex"_s));
    page.itemsPerPage = countOf(o.value(u"opensearch:itemsPerPage"_s));
    for (const QJsonValue &v : listOf(items))
        if (v.isObject())
            page.items.append(itemOf(v.toObject()));
    return page;
}

ApiRecord ReadApiRecord(QByteArrayView json)
{
    ApiRecord record;
    QJsonObject o;
    if (!parseObject(json, u"记录JSON"_s, o, record.error))
        return record;
    record.ok = true;
    record.recordAddress = addressOf(o.value(u"@id"_s));
    record.title = firstText(o, {u"dc:title"_s, u"title"_s, u"dcterms:title"_s});
    for (const QJsonValue &v : listOf(o.value(u"url"_s)))
        if (const QString a = addressOf(v); !a.isEmpty())
            record.fullTextAddresses.append(a);
    record.identifiers = identifiersOf(o.value(u"productIdentifier"_s));
    record.dataSources = identifiersOf(o.value(u"dataSourceIdentifier"_s));
    record.resourceType = textOf(o.value(u"resourceType"_s));
    return record;
}

QString ApiErrorText(QByteArrayView json)
{
    if (json.size() > MaxApiAnswerBytes)
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(json.toByteArray());
    return doc.isObject() ? errorMessageOf(doc.object()) : QString();
}

qint64 NextApiStart(const ApiPage &page, qint64 start)
{
    if (!page.ok || page.items.isEmpty())
        return 0;
    const qint64 from = page.startIndex > 0 ? page.startIndex : qMax<qint64>(start, 1);
    const qint64 next = from + page.items.size();
    if (page.totalResults >= 0 && next > page.totalResults)
        return 0;
    return next;
}

QString ApiPageAddress(const ApiQuery &query)
{
    QUrl endpoint(query.endpoint.trimmed(), QUrl::TolerantMode);
    QStringList pairs;
    // Parameters the endpoint itself carries stay, but not those this address sets.
    for (const auto &[name, value] : QUrlQuery(endpoint).queryItems(QUrl::FullyDecoded))
        if (!isReservedParameter(name))
            pairs.append(encoded(name) + u'=' + encoded(value));
    endpoint.setQuery(QString());
    endpoint.setFragment(QString());
    pairs.prepend(u"start="_s + QString::number(qMax<qint64>(query.start, 1)));
    pairs.prepend(u"count="_s + QString::number(qBound(1, query.count, 200)));
    pairs.prepend(u"q="_s + encoded(query.keyword));
    for (const auto &[name, value] : query.parameters)
        if (!name.isEmpty() && !isReservedParameter(name))
            pairs.append(encoded(name) + u'=' + encoded(value));
    pairs.append(u"format=json"_s);
    return endpoint.toString(QUrl::FullyEncoded) + u'?' + pairs.join(u'&');
}

QString ApiRequestAddress(const ApiQuery &query, const QString &appid)
{
    const QString address = ApiPageAddress(query);
    const QString id = appid.trimmed();
    return id.isEmpty() ? address : address + u"&appid="_s + encoded(id);
}

QString WithoutAppId(const QString &address)
{
    const qsizetype question = address.indexOf(u'?');
    if (question < 0)
        return address;
    const qsizetype hash = address.indexOf(u'#', question);
    const QString query = address.mid(question + 1, hash < 0 ? -1 : hash - question - 1);
    QStringList kept;
    for (const QString &pair : query.split(u'&')) {
        const QString name = pair.section(u'=', 0, 0);
        const QString decoded = QUrl::fromPercentEncoding(name.toUtf8()).trimmed();
        if (decoded.compare(u"appid"_s, Qt::CaseInsensitive) != 0)
            kept.append(pair);
    }
    QString out = address.left(question);
    if (!kept.isEmpty() && !(kept.size() == 1 && kept.first().isEmpty()))
        out += u'?' + kept.join(u'&');
    if (hash >= 0)
        out += address.mid(hash);
    return out;
}

QString RecordJsonAddress(const QString &recordPage)
{
    QUrl url(recordPage.trimmed(), QUrl::TolerantMode);
    if (!isHttpAddress(url.toString()))
        return {};
    static const QRegularExpression crid(u"^(.*/crid/[0-9]+)(\\.json|/)?$"_s);
    const QRegularExpressionMatch m = crid.match(url.path(QUrl::FullyEncoded));
    if (!m.hasMatch())
        return {};
    url.setPath(m.captured(1) + u".json"_s, QUrl::TolerantMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString(QUrl::FullyEncoded);
}

QString DoiAddress(const QString &doi)
{
    QString d = doi.trimmed();
    for (const QString &prefix :
         {u"https://doi.org/"_s, u"http://doi.org/"_s, u"https://dx.doi.org/"_s,
          u"http://dx.doi.org/"_s, u"info:doi/"_s, u"doi:"_s}) {
        if (d.startsWith(prefix, Qt::CaseInsensitive)) {
            d = d.mid(prefix.size()).trimmed();
            break;
        }
    }
    if (!d.startsWith(u"10."_s) || !d.contains(u'/'))
        return {};
    // What a DOI may hold but an address path may not ("#", "?", "%", spaces...) is escaped.
    return u"https://doi.org/"_s
           + QString::fromLatin1(QUrl::toPercentEncoding(d, "/:;()[]!$&'*+,=@"));
}

QString RecordFullTextAddress(const ApiRecord &record)
{
    for (const QString &a : record.fullTextAddresses) {
        if (isHttpAddress(a))
            return QUrl(a, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
    }
    return DoiAddress(IdentifierValue(record.identifiers, u"DOI"));
}

} // namespace papyrant
