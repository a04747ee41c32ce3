#include "search/serviceprofile.h"

#include "browser/document.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

// Resources of a static library are registered by hand.
static void initProfileResources()
{
    Q_INIT_RESOURCE(serviceprofiles);
}

namespace papyrant {

namespace {

// Class attributes may be split by any white space, not only by spaces.
QString spacedClass(const QString &className)
{
    QString out = className;
    for (QChar &c : out) {
        if (c.isSpace())
            c = u' ';
    }
    return out;
}

} // namespace

bool ClassHasWord(const QString &className, const QString &word)
{
    if (word.isEmpty())
        return false;
    const QString spaced = spacedClass(className);
    for (const QStringView w : QStringView(spaced).split(u' ', Qt::SkipEmptyParts)) {
        if (w.compare(word, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool ServiceProfile::Marker::isEmpty() const
{
    return markup.isEmpty() && text.isEmpty() && tag.isEmpty() && classWord.isEmpty() && !hitCount;
}

bool ServiceProfile::EntryRule::matches(const Element &element) const
{
    const QString className = element.className();
    if (!classEquals.isEmpty())
        return className.trimmed().compare(classEquals, Qt::CaseInsensitive) == 0;
    if (classWords.isEmpty())
        return false;
    for (const QString &word : classWords) {
        if (!ClassHasWord(className, word))
            return false;
    }
    return true;
}

bool ServiceProfile::FullTextRule::textQualifies(const QString &text) const
{
    for (const QStringList &group : linkTexts) {
        bool all = !group.isEmpty();
        for (const QString &part : group)
            all = all && text.contains(part, Qt::CaseInsensitive);
        if (all)
            return true;
    }
    return false;
}

bool ServiceProfile::FullTextRule::qualifies(const Element &a) const
{
    if (!classWords.isEmpty()) {
        for (const QString &word : classWords) {
            if (ClassHasWord(a.className(), word))
                return true;
        }
    }
    return !linkTexts.isEmpty() && textQualifies(a.innerText());
}

bool ServiceProfile::NextRule::isLink(const Element &a) const
{
    switch (kind) {
    case Link: {
        if (a.className().trimmed().compare(classEquals, Qt::CaseInsensitive) != 0)
            return false;
        const QString t = a.title().trimmed();
        for (const QString &title : titles) {
            if (t.compare(title, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    case RelNext: return ClassHasWord(a.rel(), u"next"_s);
    case PageParameter: return false;
    }
    return false;
}

std::optional<qint64> ServiceProfile::HitCountRule::find(const QString &text) const
{
    if (before.isEmpty())
        return std::nullopt;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(before, from, Qt::CaseInsensitive);
        if (at < 0)
            return std::nullopt;
        from = at + 1;
        // The texts stand close to the number; a short run of spaces is all that may part them.
        constexpr qsizetype gap = 64;
        qsizetype i = at + before.size();
        for (const qsizetype end = i + gap; i < text.size() && i < end && text.at(i).isSpace();)
            ++i;
        qint64 value = 0;
        int digits = 0;
        for (; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == u',' && digits > 0)
                continue;
            const int d = c.digitValue(); // full-width digits too
            if (d < 0)
                break;
            if (++digits > 15) // no real count is that long; a longer run is no count
                break;
            value = value * 10 + d;
        }
        if (digits == 0 || digits > 15)
            continue;
        for (const qsizetype end = i + gap; i < text.size() && i < end && text.at(i).isSpace();)
            ++i;
        if (after.isEmpty() || QStringView(text).mid(i).startsWith(after, Qt::CaseInsensitive))
            return value;
    }
}

const ServiceProfile *ServiceProfiles::find(const QString &id) const
{
    for (const ServiceProfile &p : profiles) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

const ServiceProfile &ServiceProfiles::chosen(const QString &id) const
{
    if (const ServiceProfile *p = find(id))
        return *p;
    if (const ServiceProfile *p = find(DefaultServiceProfileId()))
        return *p;
    if (!profiles.isEmpty())
        return profiles.first();
    return BuiltInServiceProfiles().first();
}

QString ServiceProfileFileName()
{
    return u"serviceprofiles.json"_s;
}

QString DefaultServiceProfileId()
{
    return u"cinii-research"_s;
}

namespace {

// Where each value of a JSON text starts: its path ("profiles[0].entry.tag") and its line. Run
// only to word a fault, on a text that has parsed already, so it may trust the text's shape.
class JsonLines
{
public:
    explicit JsonLines(const QByteArray &text) : m_text(text) { value(QString()); }
    // The line of the path, or of the nearest enclosing value the text has.
    int lineOf(QString path) const
    {
        while (true) {
            if (m_lines.contains(path))
                return m_lines.value(path);
            const qsizetype cut = std::max(path.lastIndexOf(u'.'), path.lastIndexOf(u'['));
            if (cut <= 0)
                return m_lines.value(QString(), 1);
            path.truncate(cut);
        }
    }

private:
    void space()
    {
        while (m_at < m_text.size()) {
            const char c = m_text.at(m_at);
            if (c == '\n')
                ++m_line;
            else if (c != ' ' && c != '\t' && c != '\r')
                return;
            ++m_at;
        }
    }
    QString string()
    {
        QByteArray raw;
        ++m_at; // the opening quote
        while (m_at < m_text.size() && m_text.at(m_at) != '"') {
            if (m_text.at(m_at) == '\\') {
                raw += m_text.mid(m_at, 2);
                m_at += 2;
                continue;
            }
            raw += m_text.at(m_at++);
        }
        ++m_at;
        // The key as the parser reads it, escapes included.
        return QJsonDocument::fromJson("[\"" + raw + "\"]").array().at(0).toString();
    }
    void value(const QString &path)
    {
        space();
        if (m_at >= m_text.size())
            return;
        m_lines.insert(path, m_line);
        const char c = m_text.at(m_at);
        if (c == '{' || c == '[') {
            ++m_at;
            int index = 0;
            while (true) {
                space();
                if (m_at >= m_text.size())
                    return;
                if (m_text.at(m_at) == '}' || m_text.at(m_at) == ']') {
                    ++m_at;
                    return;
                }
                if (m_text.at(m_at) == ',') {
                    ++m_at;
                    continue;
                }
                if (c == '{') {
                    const QString key = string();
                    space();
                    ++m_at; // the colon
                    value(path.isEmpty() ? key : path + u'.' + key);
                } else {
                    value(path + u'[' + QString::number(index++) + u']');
                }
            }
        }
        if (c == '"') {
            string();
            return;
        }
        while (m_at < m_text.size() && !QByteArrayView(",]} \t\r\n").contains(m_text.at(m_at)))
            ++m_at;
    }

    const QByteArray &m_text;
    qsizetype m_at = 0;
    int m_line = 1;
    QHash<QString, int> m_lines;
};

bool validTag(const QString &tag)
{
    static const QRegularExpression valid(u"^[A-Za-z][A-Za-z0-9-]*$"_s);
    return valid.match(tag).hasMatch();
}

bool validPath(const QString &path)
{
    return path.startsWith(u'/') && !path.contains(u' ');
}

// A fault: where (a path as JsonLines writes them) and what was expected there.
struct Fault
{
    QString path;
    QString what;
};

// Turns one profile object into a profile, or stops at its first fault.
class ProfileReader
{
public:
    ProfileReader(const QJsonObject &object, QString path)
        : m_object(object), m_path(std::move(path))
    {}

    std::optional<ServiceProfile> read()
    {
        ServiceProfile p;
        if (!readInto(p))
            return std::nullopt;
        return p;
    }
    const Fault &fault() const { return m_fault; }

private:
    bool readInto(ServiceProfile &p);
    bool fail(const QString &path, const QString &what)
    {
        if (m_fault.what.isEmpty())
            m_fault = {path, what};
        return false;
    }
    QString at(const QString &key, const QString &in = {}) const
    {
        return (in.isEmpty() ? m_path : in) + u'.' + key;
    }

    bool text(const QJsonObject &o, const QString &key, const QString &in, QString &out,
              bool required = false);
    bool texts(const QJsonObject &o, const QString &key, const QString &in, QStringList &out);
    bool object(const QJsonObject &o, const QString &key, QJsonObject &out, bool required);
    bool marker(const QJsonValue &v, const QString &path, ServiceProfile::Marker &out);
    bool markers(const QJsonObject &o, const QString &key, const QString &in,
                 QList<ServiceProfile::Marker> &out);

    QJsonObject m_object;
    QString m_path;
    Fault m_fault;
};

bool ProfileReader::text(const QJsonObject &o, const QString &key, const QString &in, QString &out,
                         bool required)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return !required || fail(at(key, in), u"缺少必填的文字"_s);
    if (!v.isString())
        return fail(at(key, in), u"应为文字"_s);
    out = v.toString().trimmed();
    if (required && out.isEmpty())
        return fail(at(key, in), u"不能为空"_s);
    return true;
}

bool ProfileReader::texts(const QJsonObject &o, const QString &key, const QString &in,
                          QStringList &out)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isArray())
        return fail(at(key, in), u"应为文字列表"_s);
    out.clear();
    const QJsonArray list = v.toArray();
    for (int i = 0; i < list.size(); ++i) {
        if (!list.at(i).isString() || list.at(i).toString().trimmed().isEmpty())
            return fail(at(key, in) + u'[' + QString::number(i) + u']', u"应为不空的文字"_s);
        out << list.at(i).toString().trimmed();
    }
    return true;
}

bool ProfileReader::object(const QJsonObject &o, const QString &key, QJsonObject &out,
                           bool required)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return !required || fail(at(key), u"缺少必填的对象"_s);
    if (!v.isObject())
        return fail(at(key), u"应为对象 {...}"_s);
    out = v.toObject();
    return true;
}

bool ProfileReader::marker(const QJsonValue &v, const QString &path, ServiceProfile::Marker &out)
{
    if (!v.isObject())
        return fail(path, u"应为对象 {...}"_s);
    const QJsonObject o = v.toObject();
    auto rel = [&](const QString &key) -> QString { return path + u'.' + key; };
    if (!text(o, u"markup"_s, path, out.markup) || !text(o, u"text"_s, path, out.text)
        || !text(o, u"tag"_s, path, out.tag) || !text(o, u"classWord"_s, path, out.classWord))
        return false;
    const QJsonValue count = o.value(u"hitCount"_s);
    if (count.isBool() && count.toBool())
        out.hitCount = -1;
    else if (count.isDouble() && count.toDouble() >= 0 && count.toDouble() == count.toInteger())
        out.hitCount = count.toInteger();
    else if (!count.isUndefined() && !count.isNull())
        return fail(rel(u"hitCount"_s), u"应为 true 或不小于0的整数"_s);
    if (!out.tag.isEmpty() && !validTag(out.tag))
        return fail(rel(u"tag"_s), u"应为一个标签名，如 BODY"_s);
    out.tag = out.tag.toUpper();
    if (!out.classWord.isEmpty() && out.tag.isEmpty())
        return fail(rel(u"classWord"_s), u"须同时给出 tag"_s);
    if (out.isEmpty())
        return fail(path, u"至少要有一项检验（markup、text、tag、hitCount）"_s);
    return true;
}

bool ProfileReader::markers(const QJsonObject &o, const QString &key, const QString &in,
                            QList<ServiceProfile::Marker> &out)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isArray())
        return fail(at(key, in), u"应为列表 [...]"_s);
    out.clear();
    const QJsonArray list = v.toArray();
    for (int i = 0; i < list.size(); ++i) {
        ServiceProfile::Marker m;
        if (!marker(list.at(i), at(key, in) + u'[' + QString::number(i) + u']', m))
            return false;
        out << m;
    }
    return true;
}

bool ProfileReader::readInto(ServiceProfile &p)
{
    const QJsonObject &o = m_object;
    if (!text(o, u"id"_s, {}, p.id, true) || !text(o, u"name"_s, {}, p.name, true)
        || !text(o, u"base"_s, {}, p.base, true) || !text(o, u"home"_s, {}, p.home)
        || !text(o, u"search"_s, {}, p.search, true) || !text(o, u"rowType"_s, {}, p.rowType))
        return false;
    // Every address is the base joined with a path, so the base is kept as scheme://host[:port]
    // and nothing else: no user, query or fragment that a joined address would carry along.
    const QUrl base(p.base, QUrl::StrictMode);
    if (!base.isValid() || (base.scheme() != u"http" && base.scheme() != u"https")
        || base.host().isEmpty() || (!base.path().isEmpty() && base.path() != u"/")
        || base.hasQuery() || base.hasFragment() || !base.userInfo().isEmpty())
        return fail(at(u"base"_s), u"应为 http(s)://主机名（不带路径）"_s);
    p.base = base.toString(QUrl::RemovePath | QUrl::FullyEncoded);
    if (p.home.isEmpty())
        p.home = u"/"_s;
    if (!validPath(p.home))
        return fail(at(u"home"_s), u"应为以“/”开头的路径"_s);
    if (!validPath(p.search) || !p.search.contains(u"{keyword}"_s))
        return fail(at(u"search"_s), u"应为以“/”开头、含有 {keyword} 的地址"_s);
    static const QRegularExpression typeWord(u"^[A-Za-z0-9]{1,10}$"_s);
    if (p.rowType.isEmpty())
        p.rowType = u"PDF"_s;
    if (!typeWord.match(p.rowType).hasMatch()) // it names files until the true type is known
        return fail(at(u"rowType"_s), u"应为1到10个字母或数字"_s);

    QJsonObject entry, title, fullText, next, hitCount, blocked, api;
    if (!object(o, u"entry"_s, entry, true) || !object(o, u"title"_s, title, false)
        || !object(o, u"fullText"_s, fullText, true) || !object(o, u"next"_s, next, true)
        || !object(o, u"hitCount"_s, hitCount, false) || !object(o, u"blocked"_s, blocked, false)
        || !object(o, u"api"_s, api, false))
        return false;

    const QString e = at(u"entry"_s);
    if (!text(entry, u"tag"_s, e, p.entry.tag)
        || !text(entry, u"classEquals"_s, e, p.entry.classEquals)
        || !texts(entry, u"classWords"_s, e, p.entry.classWords))
        return false;
    if (p.entry.tag.isEmpty())
        p.entry.tag = u"DIV"_s;
    if (!validTag(p.entry.tag))
        return fail(at(u"tag"_s, e), u"应为一个标签名，如 DIV"_s);
    p.entry.tag = p.entry.tag.toUpper();
    if (p.entry.classEquals.isEmpty() && p.entry.classWords.isEmpty())
        return fail(e, u"须给出 classEquals 或 classWords"_s);

    if (!text(title, u"classWord"_s, at(u"title"_s), p.title.classWord))
        return false;

    const QString f = at(u"fullText"_s);
    if (!texts(fullText, u"classWords"_s, f, p.fullText.classWords))
        return false;
    const QJsonValue linkTexts = fullText.value(u"linkTexts"_s);
    if (!linkTexts.isUndefined() && !linkTexts.isNull()) {
        if (!linkTexts.isArray())
            return fail(at(u"linkTexts"_s, f), u"应为列表 [...]"_s);
        const QJsonArray groups = linkTexts.toArray();
        for (int i = 0; i < groups.size(); ++i) {
            const QString g = at(u"linkTexts"_s, f) + u'[' + QString::number(i) + u']';
            QStringList group;
            if (groups.at(i).isString() && !groups.at(i).toString().trimmed().isEmpty()) {
                group << groups.at(i).toString().trimmed();
            } else {
                QJsonObject holder{{u"g"_s, groups.at(i)}};
                if (!groups.at(i).isArray() || !texts(holder, u"g"_s, g, group) || group.isEmpty())
                    return fail(g, u"应为文字，或都须出现的一组文字"_s);
            }
            p.fullText.linkTexts << group;
        }
    }
    if (p.fullText.linkTexts.isEmpty() && p.fullText.classWords.isEmpty())
        return fail(f, u"须给出 linkTexts 或 classWords"_s);

    const QString h = at(u"hitCount"_s);
    if (!text(hitCount, u"before"_s, h, p.hitCount.before)
        || !text(hitCount, u"after"_s, h, p.hitCount.after))
        return false;
    if (p.hitCount.before.isEmpty() && !p.hitCount.after.isEmpty())
        return fail(h, u"须给出 before"_s);

    const QString n = at(u"next"_s);
    QString rule;
    if (!text(next, u"rule"_s, n, rule, true)
        || !text(next, u"classEquals"_s, n, p.next.classEquals)
        || !texts(next, u"titles"_s, n, p.next.titles)
        || !text(next, u"parameter"_s, n, p.next.parameter)
        || !text(next, u"countParameter"_s, n, p.next.countParameter))
        return false;
    const QJsonValue pageSize = next.value(u"pageSize"_s);
    if (!pageSize.isUndefined()) {
        if (!pageSize.isDouble() || pageSize.toDouble() != pageSize.toInteger()
            || pageSize.toInteger() < 1 || pageSize.toInteger() > 10000)
            return fail(at(u"pageSize"_s, n), u"应为1到10000的整数"_s);
        p.next.pageSize = int(pageSize.toInteger());
    }
    if (rule == u"link") {
        p.next.kind = ServiceProfile::NextRule::Link;
        if (p.next.classEquals.isEmpty() || p.next.titles.isEmpty())
            return fail(n, u"规则 link 须给出 classEquals 和 titles"_s);
    } else if (rule == u"relNext") {
        p.next.kind = ServiceProfile::NextRule::RelNext;
    } else if (rule == u"pageParameter") {
        p.next.kind = ServiceProfile::NextRule::PageParameter;
        if (p.next.parameter.isEmpty())
            p.next.parameter = u"page"_s;
        if (p.hitCount.isEmpty())
            return fail(n, u"规则 pageParameter 须同时给出 hitCount"_s);
    } else {
        return fail(at(u"rule"_s, n), u"应为 link、relNext 或 pageParameter"_s);
    }

    if (!markers(o, u"resultList"_s, {}, p.resultList)
        || !markers(o, u"noResults"_s, {}, p.noResults))
        return false;
    const QString b = at(u"blocked"_s);
    if (!markers(blocked, u"markers"_s, b, p.blocked.markers)
        || !texts(blocked, u"searchPaths"_s, b, p.blocked.searchPaths))
        return false;
    for (const QString &path : std::as_const(p.blocked.searchPaths)) {
        if (!validPath(path))
            return fail(at(u"searchPaths"_s, b), u"应为以“/”开头的路径"_s);
    }
    const QJsonValue statuses = blocked.value(u"statuses"_s);
    if (!statuses.isUndefined() && !statuses.isNull()) {
        if (!statuses.isArray())
            return fail(at(u"statuses"_s, b), u"应为列表 [...]"_s);
        const QJsonArray list = statuses.toArray();
        for (int i = 0; i < list.size(); ++i) {
            const double s = list.at(i).toDouble(-1);
            if (!list.at(i).isDouble() || s != list.at(i).toInteger() || s < 100 || s > 599)
                return fail(at(u"statuses"_s, b) + u'[' + QString::number(i) + u']',
                            u"应为100到599的HTTP状态码"_s);
            p.blocked.statuses << int(s);
        }
    }
    auto usesHitCount = [](const QList<ServiceProfile::Marker> &list) {
        return std::any_of(list.begin(), list.end(),
                           [](const ServiceProfile::Marker &m) { return m.hitCount.has_value(); });
    };
    if (p.hitCount.isEmpty()
        && (usesHitCount(p.resultList) || usesHitCount(p.noResults)
            || usesHitCount(p.blocked.markers)))
        return fail(m_path, u"检验 hitCount 须同时给出 hitCount 规则"_s);

    const QJsonValue report = o.value(u"reportEmptyPages"_s);
    if (!report.isUndefined() && !report.isNull()) {
        if (!report.isBool())
            return fail(at(u"reportEmptyPages"_s), u"应为 true 或 false"_s);
        p.reportEmptyPages = report.toBool();
    }

    if (o.contains(u"api"_s) && !o.value(u"api"_s).isNull()) {
        ServiceProfile::Api a;
        const QString ap = at(u"api"_s);
        if (!text(api, u"openSearch"_s, ap, a.openSearch, true))
            return false;
        if (!validPath(a.openSearch) || !a.openSearch.contains(u"{keyword}"_s))
            return fail(at(u"openSearch"_s, ap), u"应为以“/”开头、含有 {keyword} 的地址"_s);
        const QJsonValue appid = api.value(u"appidRequired"_s);
        if (!appid.isUndefined() && !appid.isBool())
            return fail(at(u"appidRequired"_s, ap), u"应为 true 或 false"_s);
        a.appidRequired = appid.toBool();
        p.api = a;
    }
    return true;
}

// `over` with the keys of `with`: objects merge key by key, everything else is replaced.
QJsonObject merged(QJsonObject over, const QJsonObject &with)
{
    for (auto it = with.begin(); it != with.end(); ++it) {
        const QJsonValue old = over.value(it.key());
        if (old.isObject() && it.value().isObject())
            over.insert(it.key(), merged(old.toObject(), it.value().toObject()));
        else
            over.insert(it.key(), it.value());
    }
    return over;
}

struct FileProfiles
{
    QList<QJsonObject> objects;
    QList<ServiceProfile> profiles;
};

// One file of profiles, each over the profile of the same id in `over` (when there is one).
std::optional<FileProfiles> readFile(QByteArray json, const FileProfiles &over, QString *error)
{
    // Editors on some systems start a UTF-8 file with a byte-order mark; JSON has none.
    if (json.startsWith("\xEF\xBB\xBF"))
        json.remove(0, 3);
    auto say = [&](int line, const QString &what) {
        if (error)
            *error = u"第 %1 行：%2"_s.arg(line).arg(what);
        return std::nullopt;
    };
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const int line = int(json.left(parseError.offset).count('\n')) + 1;
        return say(line, u"不是正确的 JSON（%1）"_s.arg(parseError.errorString()));
    }
    const auto fault = [&](const QString &path, const QString &what) {
        const QString where = path.isEmpty() ? QString() : u"“%1”"_s.arg(path);
        return say(JsonLines(json).lineOf(path), where + what);
    };
    if (!doc.isObject())
        return fault({}, u"应为一个对象 {\"profiles\": [...]}"_s);
    const QJsonObject root = doc.object();
    const QJsonValue format = root.value(u"format"_s);
    if (!format.isUndefined() && format.toInt(-1) != 1)
        return fault(u"format"_s, u"本程序只认格式 1"_s);
    const QJsonValue list = root.value(u"profiles"_s);
    if (!list.isArray())
        return fault(u"profiles"_s, u"应为列表 [...]"_s);

    FileProfiles out = over;
    QStringList seen;
    const QJsonArray profiles = list.toArray();
    for (int i = 0; i < profiles.size(); ++i) {
        const QString path = u"profiles[%1]"_s.arg(i);
        if (!profiles.at(i).isObject())
            return fault(path, u"应为对象 {...}"_s);
        QJsonObject object = profiles.at(i).toObject();
        const QString id = object.value(u"id"_s).toString().trimmed();
        if (seen.contains(id) && !id.isEmpty())
            return fault(path + u".id"_s, u"与前面的配置重复"_s);
        seen << id;
        qsizetype known = -1;
        for (qsizetype k = 0; k < out.profiles.size(); ++k) {
            if (!id.isEmpty() && out.profiles.at(k).id == id)
                known = k;
        }
        if (known >= 0)
            object = merged(out.objects.at(known), object);
        ProfileReader reader(object, path);
        const std::optional<ServiceProfile> profile = reader.read();
        if (!profile)
            return fault(reader.fault().path, reader.fault().what);
        if (known >= 0) {
            out.objects[known] = object;
            out.profiles[known] = *profile;
        } else {
            out.objects << object;
            out.profiles << *profile;
        }
    }
    return out;
}

const FileProfiles &builtIns()
{
    static const FileProfiles profiles = [] {
        QString error;
        std::optional<FileProfiles> read = readFile(BuiltInServiceProfileFile(), {}, &error);
        // The built-in file is part of the program; its tests keep it readable.
        Q_ASSERT_X(read && !read->profiles.isEmpty(), "BuiltInServiceProfiles",
                   qUtf8Printable(error));
        return read.value_or(FileProfiles());
    }();
    return profiles;
}

} // namespace

QByteArray BuiltInServiceProfileFile()
{
    initProfileResources();
    QFile file(u":/search/serviceprofiles.json"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QList<ServiceProfile> &BuiltInServiceProfiles()
{
    return builtIns().profiles;
}

ServiceProfiles ReadServiceProfiles(const QByteArray &builtIn, const QByteArray &json,
                                    const QString &fileName)
{
    ServiceProfiles result;
    QString error;
    const FileProfiles base = readFile(builtIn, {}, &error).value_or(FileProfiles());
    result.profiles = base.profiles;
    if (const std::optional<FileProfiles> file = readFile(json, base, &error))
        result.profiles = file->profiles;
    else
        result.error = u"检索服务配置文件 %1 有误，%2。已改用内置的配置。"_s.arg(
            QDir::toNativeSeparators(fileName), error);
    return result;
}

ServiceProfiles LoadServiceProfiles(const QString &folder)
{
    ServiceProfiles result;
    result.profiles = BuiltInServiceProfiles();
    if (folder.isEmpty())
        return result;
    const QString path = QDir(folder).filePath(ServiceProfileFileName());
    QFile file(path);
    if (!file.exists())
        return result;
    // A profile file is a few kilobytes; anything far larger is not one.
    constexpr qint64 limit = 4 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly) || file.size() > limit) {
        result.error = u"检索服务配置文件 %1 无法读取。已改用内置的配置。"_s.arg(
            QDir::toNativeSeparators(path));
        return result;
    }
    return ReadServiceProfiles(BuiltInServiceProfileFile(), file.read(limit), path);
}

} // namespace papyrant
