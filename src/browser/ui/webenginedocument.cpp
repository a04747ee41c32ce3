#include "browser/ui/webenginedocument.h"

#include "browser/staticdocument.h"
#include "browser/ui/webenginebrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// Shared by every script: the page's element registry (handles stay valid while the page is
// loaded; a new page starts a new registry with a new token) and the record of one element.
const QString prelude = uR"JS(
var R = window.__papyrant;
if (!R) {
    R = window.__papyrant = {token: String(Math.random()).slice(2) + '-' + Date.now(), lists: []};
}
var SLOT = 1048576;
function attr(e, n) { var v = e.getAttribute(n); return v === null ? '' : v; }
function rec(e, t, f, parent, handle) {
    var title = '', name = '', type = '', id = '', value = '', text = '', href = '', rel = '';
    if (f & 4) {
        var typed = t === 'INPUT' || t === 'BUTTON' || t === 'SELECT' || t === 'TEXTAREA';
        title = attr(e, 'title');
        name = attr(e, 'name');
        type = typed ? String(e.type) : attr(e, 'type');
        id = e.id || '';
        value = typed || t === 'OPTION' ? String(e.value) : attr(e, 'value');
        rel = attr(e, 'rel');
    }
    if (f & 1) text = typeof e.innerText === 'string' ? e.innerText : (e.textContent || '');
    if (f & 2) href = typeof e.href === 'string' ? e.href : '';
    return [t, attr(e, 'class'), title, name, type, id, value, text, href, parent, handle, rel];
}
// Records of the elements (kept in the registry for later clicks), with the index of each one's
// nearest ancestor among them when asked.
function list(nodes, fieldsOf, withParents) {
    var base = R.lists.length * SLOT;
    R.lists.push(Array.prototype.slice.call(nodes, 0, SLOT));
    var out = [];
    var open = []; // indexes of the elements that hold the current one, innermost last
    for (var k = 0; k < nodes.length && k < SLOT; ++k) {
        var e = nodes[k];
        var t = String(e.tagName).toUpperCase();
        var f = fieldsOf ? fieldsOf[t] : 7;
        var p = -1;
        if (withParents) {
            // Document order: an element's ancestors among the nodes are still open.
            while (open.length && !nodes[open[open.length - 1]].contains(e)) open.pop();
            if (open.length) p = open[open.length - 1];
            open.push(k);
        }
        out.push(rec(e, t, f === undefined ? 7 : f, p, base + k));
    }
    return out;
}
function find(token, h) {
    var R2 = window.__papyrant;
    if (!R2 || R2.token !== token) return null;
    var l = R2.lists[Math.floor(h / SLOT)];
    var e = l ? l[h % SLOT] : null;
    return e && e.isConnected ? e : null;
}
)JS"_s;

QString jsString(const QString &text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString script(const QString &body)
{
    return u"(function(){"_s + prelude + body + u"})()"_s;
}

// A tag name as a selector: letters and digits only, "*" for all.
QString safeTag(const QString &tag)
{
    static const QRegularExpression valid(u"^(\\*|[A-Za-z][A-Za-z0-9-]*)$"_s);
    return valid.match(tag).hasMatch() ? tag : QString();
}

class LiveHandles : public LiveElements
{
public:
    LiveHandles(WebEngineBrowser *browser, QString token)
        : m_browser(browser), m_token(std::move(token))
    {}

    QList<ElementData> query(qint64 handle, const QString &tag) override;
    void click(qint64 handle) override;
    void setValue(qint64 handle, const QString &value) override;

    QPointer<WebEngineBrowser> m_browser;
    QString m_token;
};

struct Answer
{
    QString token;
    QString url;
    QString markup;
    QList<ElementData> elements;
};

// The answer is [JSON of the records, markup]: the markup travels as a plain string, apart
// from the JSON, so that it is neither escaped nor parsed.
Answer readAnswer(const QVariant &value)
{
    Answer answer;
    const QVariantList parts = value.toList();
    if (parts.size() != 2)
        return answer;
    const QJsonObject o = QJsonDocument::fromJson(parts.at(0).toString().toUtf8()).object();
    answer.token = o.value(u"t"_s).toString();
    answer.url = o.value(u"u"_s).toString();
    answer.markup = parts.at(1).toString();
    const QJsonArray list = o.value(u"e"_s).toArray();
    answer.elements.reserve(list.size());
    for (const QJsonValue &v : list) {
        const QJsonArray r = v.toArray();
        ElementData d;
        d.tag = r.at(0).toString();
        d.className = r.at(1).toString();
        d.title = r.at(2).toString();
        d.name = r.at(3).toString();
        d.type = r.at(4).toString();
        d.id = r.at(5).toString();
        d.value = r.at(6).toString();
        d.innerText = r.at(7).toString();
        d.href = r.at(8).toString();
        d.parent = r.at(9).toInt(-1);
        d.handle = r.at(10).toInteger(-1);
        d.rel = r.at(11).toString();
        answer.elements.append(std::move(d));
    }
    return answer;
}

QString wrapAnswer(const QString &records, const QString &markup = u"''"_s)
{
    return u"return [JSON.stringify({t: R.token, u: document.URL, e: "_s + records + u"}), "_s
           + markup + u"];"_s;
}

std::shared_ptr<ElementStore> storeOf(WebEngineBrowser *browser, Answer &answer)
{
    auto store = std::make_shared<ElementStore>();
    store->elements = std::move(answer.elements);
    store->live = std::make_shared<LiveHandles>(browser, answer.token);
    store->computeExtents();
    return store;
}

QList<ElementData> LiveHandles::query(qint64 handle, const QString &tag)
{
    const QString t = safeTag(tag);
    if (!m_browser || t.isEmpty())
        return {};
    const QVariant v = m_browser->evaluate(
        script(u"var e = find(%1, %2); var nodes = e ? e.getElementsByTagName(%3) : [];"_s
                   .arg(jsString(m_token))
                   .arg(handle)
                   .arg(jsString(t))
               + wrapAnswer(u"list(nodes, null, false)"_s)));
    return readAnswer(v).elements;
}

void LiveHandles::click(qint64 handle)
{
    if (!m_browser)
        return;
    // A click that follows a link or submits a form will load a page; say so before the load
    // begins, so that Busy covers the time until it does.
    const QVariant v = m_browser->evaluate(
        script(u"var el = find(%1, %2);"_s.arg(jsString(m_token)).arg(handle) + uR"JS(
if (!el) return false;
var ev = null;
var seen = function(e) { ev = e; };
window.addEventListener('click', seen, false);
try { el.click(); } finally { window.removeEventListener('click', seen, false); }
if (!ev || ev.defaultPrevented) return false;
var a = el.closest ? el.closest('a[href], area[href]') : null;
if (a) {
    var href = String(a.href);
    if (/^javascript:/i.test(href)) return false;
    var hash = href.indexOf('#');
    return !(hash >= 0 && href.slice(0, hash) === String(location.href).split('#')[0]);
}
return !!(el.form && (el.type === 'submit' || el.type === 'image'));
)JS"_s));
    if (m_browser && v.toBool())
        m_browser->expectNavigation();
}

void LiveHandles::setValue(qint64 handle, const QString &value)
{
    if (!m_browser)
        return;
    m_browser->evaluate(script(u"var el = find(%1, %2);"_s.arg(jsString(m_token)).arg(handle)
                               + u"if (!el) return false; el.value = %1;"_s.arg(jsString(value))
                               + uR"JS(
el.dispatchEvent(new Event('input', {bubbles: true}));
el.dispatchEvent(new Event('change', {bubbles: true}));
return true;
)JS"_s));
}

} // namespace

WebEngineDocument::WebEngineDocument(WebEngineBrowser *browser) : m_browser(browser) {}

QString WebEngineDocument::outerHTML() const
{
    if (!m_browser)
        return {};
    return m_browser
        ->evaluate(
            u"(function(){var d = document.documentElement; return d ? d.outerHTML : '';})()"_s)
        .toString();
}

QString WebEngineDocument::URL() const
{
    return m_browser ? m_browser->evaluate(u"document.URL"_s).toString() : QString();
}

ElementCollection WebEngineDocument::getElementsByTagName(const QString &tag) const
{
    const QString t = safeTag(tag);
    if (!m_browser || t.isEmpty())
        return {};
    Answer a = readAnswer(m_browser->evaluate(
        script(u"var nodes = document.getElementsByTagName(%1);"_s.arg(jsString(t))
               + wrapAnswer(u"list(nodes, null, true)"_s))));
    auto store = storeOf(m_browser, a);
    store->tags.insert(t.toUpper());
    store->allTags = t == u"*";
    return elementsInRange(store, 0, int(store->elements.size()), t.toUpper());
}

Element WebEngineDocument::getElementById(const QString &id) const
{
    if (!m_browser || id.isEmpty())
        return {};
    Answer a = readAnswer(
        m_browser->evaluate(script(u"var e = document.getElementById(%1);"_s.arg(jsString(id))
                                   + wrapAnswer(u"list(e ? [e] : [], null, false)"_s))));
    if (a.elements.isEmpty())
        return {};
    return Element(storeOf(m_browser, a), 0);
}

std::shared_ptr<Document> WebEngineDocument::snapshotOf(const QList<SnapshotTag> &tags,
                                                        bool withMarkup) const
{
    QStringList selectors;
    QJsonObject fields;
    for (const SnapshotTag &tag : tags) {
        const QString t = safeTag(tag.tag);
        if (t.isEmpty())
            continue;
        selectors << t;
        if (t != u"*")
            fields.insert(t.toUpper(), tag.fields);
    }
    if (!m_browser)
        return {};
    const QString select =
        selectors.isEmpty()
            ? u"[]"_s
            : u"document.querySelectorAll(%1)"_s.arg(jsString(selectors.join(u',')));
    const QString fieldsOf =
        selectors.contains(u"*"_s)
            ? u"null"_s
            : QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
    Answer a = readAnswer(m_browser->evaluate(
        script(u"var nodes = "_s + select + u"; var d = document.documentElement;"_s
               + wrapAnswer(u"list(nodes, "_s + fieldsOf + u", true)"_s,
                            withMarkup ? u"d ? d.outerHTML : ''"_s : u"''"_s))));
    auto store = storeOf(m_browser, a);
    for (const QString &s : selectors)
        store->tags.insert(s.toUpper());
    store->allTags = selectors.contains(u"*"_s);
    return std::make_shared<StaticDocument>(a.url, a.markup, std::move(store));
}

} // namespace papyrant
