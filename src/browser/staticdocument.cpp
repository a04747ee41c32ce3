#include "browser/staticdocument.h"

#include <QHash>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

struct Node
{
    QString tag; // upper-case; empty for a text node
    QString text;
    QList<std::pair<QString, QString>> attributes; // names lower-case, first one wins
    QList<int> children;
    int parent = -1;

    QString attribute(const QString &name, bool *present = nullptr) const
    {
        for (const auto &[n, v] : attributes) {
            if (n == name) {
                if (present)
                    *present = true;
                return v;
            }
        }
        if (present)
            *present = false;
        return {};
    }
};

bool isIn(const QString &tag, std::initializer_list<QStringView> set)
{
    for (QStringView s : set) {
        if (tag == s)
            return true;
    }
    return false;
}

bool isVoid(const QString &tag)
{
    return isIn(tag, {u"AREA", u"BASE", u"BR", u"COL", u"EMBED", u"HR", u"IMG", u"INPUT", u"LINK",
                      u"META", u"PARAM", u"SOURCE", u"TRACK", u"WBR"});
}

bool isRawText(const QString &tag)
{
    return isIn(tag, {u"SCRIPT", u"STYLE", u"TEXTAREA", u"TITLE", u"XMP", u"NOSCRIPT"});
}

bool isBlock(const QString &tag)
{
    return isIn(tag, {u"ADDRESS", u"ARTICLE", u"ASIDE", u"BLOCKQUOTE", u"BODY", u"CENTER", u"DD",
                      u"DETAILS", u"DIALOG", u"DIR", u"DIV", u"DL", u"DT", u"FIELDSET",
                      u"FIGCAPTION", u"FIGURE", u"FOOTER", u"FORM", u"H1", u"H2", u"H3", u"H4",
                      u"H5", u"H6", u"HEADER", u"HGROUP", u"HR", u"HTML", u"LI", u"MAIN", u"MENU",
                      u"NAV", u"OL", u"P", u"PRE", u"SECTION", u"TABLE", u"TR", u"UL", u"CAPTION",
                      u"TBODY", u"THEAD", u"TFOOT", u"OPTION"});
}

// Not rendered, so not part of innerText.
bool isHidden(const QString &tag)
{
    return isIn(tag, {u"HEAD", u"SCRIPT", u"STYLE", u"TITLE", u"NOSCRIPT", u"TEMPLATE", u"META",
                      u"LINK"});
}

const QHash<QString, QString> &namedEntities()
{
    static const QHash<QString, QString> table = {
        {u"amp"_s, u"&"_s},      {u"lt"_s, u"<"_s},        {u"gt"_s, u">"_s},
        {u"quot"_s, u"\""_s},    {u"apos"_s, u"'"_s},      {u"nbsp"_s, QString(QChar(0xA0))},
        {u"copy"_s, u"\u00A9"_s}, {u"reg"_s, u"\u00AE"_s}, {u"hellip"_s, u"\u2026"_s},
        {u"mdash"_s, u"\u2014"_s}, {u"ndash"_s, u"\u2013"_s}, {u"laquo"_s, u"\u00AB"_s},
        {u"raquo"_s, u"\u00BB"_s}, {u"middot"_s, u"\u00B7"_s}, {u"times"_s, u"\u00D7"_s},
        {u"lsquo"_s, u"\u2018"_s}, {u"rsquo"_s, u"\u2019"_s}, {u"ldquo"_s, u"\u201C"_s},
        {u"rdquo"_s, u"\u201D"_s}, {u"yen"_s, u"\u00A5"_s},  {u"thinsp"_s, u"\u2009"_s},
    };
    return table;
}

// Decodes character references; anything that is not a known reference stays as written
// (so "a=1&b=2" in a link keeps its "&").
QString decodeEntities(QStringView in)
{
    if (!in.contains(u'&'))
        return in.toString();
    QString out;
    out.reserve(in.size());
    qsizetype i = 0;
    while (i < in.size()) {
        const QChar c = in.at(i);
        if (c != u'&') {
            out.append(c);
            ++i;
            continue;
        }
        const qsizetype semi = in.indexOf(u';', i + 1);
        if (semi > i + 1 && semi - i <= 12) {
            const QStringView name = in.mid(i + 1, semi - i - 1);
            if (name.startsWith(u'#')) {
                bool ok = false;
                uint code = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X')
                                ? name.mid(2).toUInt(&ok, 16)
                                : name.mid(1).toUInt(&ok, 10);
                if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                    out.append(QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1));
                    i = semi + 1;
                    continue;
                }
            } else {
                const auto it = namedEntities().constFind(name.toString());
                if (it != namedEntities().constEnd()) {
                    out.append(*it);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out.append(c);
        ++i;
    }
    return out;
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isNameStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

class TreeBuilder
{
public:
    QList<Node> nodes;

    TreeBuilder()
    {
        nodes.append(Node()); // the document itself
        nodes[0].tag = u"#DOCUMENT"_s;
        open.append(0);
    }

    void text(QString t)
    {
        if (t.isEmpty())
            return;
        Node n;
        n.text = std::move(t);
        append(std::move(n));
    }

    void startTag(const QString &tag, QList<std::pair<QString, QString>> attributes,
                  bool selfClosing)
    {
        closeImplied(tag);
        Node n;
        n.tag = tag;
        n.attributes = std::move(attributes);
        const int index = append(std::move(n));
        if (!isVoid(tag) && !selfClosing)
            open.append(index);
    }

    void endTag(const QString &tag)
    {
        for (qsizetype i = open.size() - 1; i > 0; --i) {
            if (nodes.at(open.at(i)).tag == tag) {
                open.resize(i);
                return;
            }
        }
    }

private:
    QList<int> open;

    int append(Node n)
    {
        const int parent = open.last();
        n.parent = parent;
        nodes.append(std::move(n));
        const int index = int(nodes.size()) - 1;
        nodes[parent].children.append(index);
        return index;
    }

    QString current() const { return nodes.at(open.last()).tag; }

    // Pops open elements with one of the tags, not looking past a boundary element.
    void closeUpTo(std::initializer_list<QStringView> tags, std::initializer_list<QStringView> boundary)
    {
        for (qsizetype i = open.size() - 1; i > 0; --i) {
            const QString &t = nodes.at(open.at(i)).tag;
            if (isIn(t, boundary))
                return;
            if (isIn(t, tags)) {
                open.resize(i);
                return;
            }
        }
    }

    void closeImplied(const QString &tag)
    {
        if (isBlock(tag) && tag != u"LI" && tag != u"OPTION" && current() == u"P")
            open.removeLast();
        if (tag == u"LI")
            closeUpTo({u"LI"}, {u"UL", u"OL", u"MENU", u"DIV", u"TABLE"});
        else if (tag == u"DT" || tag == u"DD")
            closeUpTo({u"DT", u"DD"}, {u"DL", u"DIV", u"TABLE"});
        else if (tag == u"OPTION")
            closeUpTo({u"OPTION"}, {u"SELECT", u"DATALIST"});
        else if (tag == u"TR")
            closeUpTo({u"TR"}, {u"TABLE", u"TBODY", u"THEAD", u"TFOOT"});
        else if (tag == u"TD" || tag == u"TH")
            closeUpTo({u"TD", u"TH"}, {u"TR", u"TABLE"});
        else if (tag == u"TBODY" || tag == u"THEAD" || tag == u"TFOOT")
            closeUpTo({u"TBODY", u"THEAD", u"TFOOT"}, {u"TABLE"});
    }
};

void parse(const QString &html, TreeBuilder &tree)
{
    const qsizetype n = html.size();
    qsizetype i = 0;
    qsizetype textStart = 0;
    auto flushText = [&](qsizetype upTo) {
        if (upTo > textStart)
            tree.text(decodeEntities(QStringView(html).mid(textStart, upTo - textStart)));
    };
    while (i < n) {
        if (html.at(i) != u'<' || i + 1 >= n) {
            ++i;
            continue;
        }
        const QChar next = html.at(i + 1);
        if (html.mid(i, 4) == u"<!--") {
            flushText(i);
            const qsizetype close = html.indexOf(u"-->"_s, i + 4);
            i = close < 0 ? n : close + 3;
            textStart = i;
        } else if (next == u'!' || next == u'?') {
            flushText(i);
            const qsizetype close = html.indexOf(u'>', i + 2);
            i = close < 0 ? n : close + 1;
            textStart = i;
        } else if (next == u'/' && i + 2 < n && isNameStart(html.at(i + 2))) {
            flushText(i);
            qsizetype j = i + 2;
            while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'/')
                ++j;
            tree.endTag(html.mid(i + 2, j - i - 2).toUpper());
            const qsizetype close = html.indexOf(u'>', j);
            i = close < 0 ? n : close + 1;
            textStart = i;
        } else if (isNameStart(next)) {
            flushText(i);
            qsizetype j = i + 1;
            while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'/')
                ++j;
            const QString tag = html.mid(i + 1, j - i - 1).toUpper();
            QList<std::pair<QString, QString>> attributes;
            bool selfClosing = false;
            while (j < n) {
                while (j < n && (isSpace(html.at(j)) || html.at(j) == u'/')) {
                    if (html.at(j) == u'/')
                        selfClosing = true;
                    ++j;
                }
                if (j >= n || html.at(j) == u'>')
                    break;
                selfClosing = false;
                const qsizetype nameStart = j;
                while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'='
                       && !(html.at(j) == u'/' && j > nameStart))
                    ++j;
                const QString name = html.mid(nameStart, j - nameStart).toLower();
                while (j < n && isSpace(html.at(j)))
                    ++j;
                QString value;
                if (j < n && html.at(j) == u'=') {
                    ++j;
                    while (j < n && isSpace(html.at(j)))
                        ++j;
                    if (j < n && (html.at(j) == u'"' || html.at(j) == u'\'')) {
                        const QChar quote = html.at(j);
                        const qsizetype close = html.indexOf(quote, j + 1);
                        const qsizetype stop = close < 0 ? n : close;
                        value = decodeEntities(QStringView(html).mid(j + 1, stop - j - 1));
                        j = close < 0 ? n : close + 1;
                    } else {
                        const qsizetype start = j;
                        while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>')
                            ++j;
                        value = decodeEntities(QStringView(html).mid(start, j - start));
                    }
                }
                bool seen = false;
                for (const auto &a : attributes)
                    seen = seen || a.first == name;
                if (!seen && !name.isEmpty())
                    attributes.append({name, value});
            }
            i = j < n ? j + 1 : n;
            tree.startTag(tag, std::move(attributes), selfClosing);
            if (isRawText(tag) && !selfClosing) {
                // Everything up to the matching end tag is text (scripts may hold "<").
                const QString endTag = u"</"_s + tag;
                const qsizetype close = html.indexOf(endTag, i, Qt::CaseInsensitive);
                const qsizetype stop = close < 0 ? n : close;
                const QStringView raw = QStringView(html).mid(i, stop - i);
                tree.text(tag == u"TEXTAREA" || tag == u"TITLE" ? decodeEntities(raw) : raw.toString());
                tree.endTag(tag);
                const qsizetype gt = close < 0 ? n : html.indexOf(u'>', close);
                i = gt < 0 ? n : gt + 1;
            }
            textStart = i;
        } else {
            ++i;
        }
    }
    flushText(n);
}

// Rendered text: text with its white space collapsed, a line break at each block edge and BR.
// Block edges are marked with \x01 first and settled at the end, so that runs of edges give
// one line break.
void render(const QList<Node> &nodes, int index, QString &out)
{
    const Node &node = nodes.at(index);
    if (node.tag.isEmpty()) {
        bool inSpace = false;
        for (QChar c : node.text) {
            if (isSpace(c)) {
                if (!inSpace)
                    out.append(u' ');
                inSpace = true;
            } else {
                out.append(c);
                inSpace = false;
            }
        }
        return;
    }
    if (isHidden(node.tag))
        return;
    if (node.tag == u"BR") {
        out.append(u'\n');
        return;
    }
    const bool block = isBlock(node.tag);
    if (block)
        out.append(QChar(1));
    for (int child : node.children) {
        render(nodes, child, out);
        if (nodes.at(child).tag == u"TD" || nodes.at(child).tag == u"TH")
            out.append(u'\t');
    }
    if (block)
        out.append(QChar(1));
}

QString settleText(const QString &raw)
{
    QString out;
    out.reserve(raw.size());
    qsizetype i = 0;
    const qsizetype n = raw.size();
    while (i < n) {
        const QChar c = raw.at(i);
        if (c == u' ' || c == u'\t' || c == u'\n' || c == QChar(1)) {
            // A run of white space and breaks: breaks win over spaces.
            int newlines = 0;
            bool edge = false;
            bool tab = false;
            while (i < n) {
                const QChar d = raw.at(i);
                if (d == u'\n')
                    ++newlines;
                else if (d == QChar(1))
                    edge = true;
                else if (d == u'\t')
                    tab = true;
                else if (d != u' ')
                    break;
                ++i;
            }
            if (newlines == 0 && edge)
                newlines = 1;
            if (out.isEmpty() || i >= n)
                continue; // leading and trailing white space goes
            if (newlines > 0)
                out.append(QString(newlines, u'\n'));
            else
                out.append(tab ? u'\t' : u' ');
        } else {
            out.append(c);
            ++i;
        }
    }
    return out;
}

QString textContent(const QList<Node> &nodes, int index)
{
    const Node &node = nodes.at(index);
    if (node.tag.isEmpty())
        return node.text;
    QString out;
    for (int child : node.children)
        out += textContent(nodes, child);
    return out;
}

QString resolve(const QUrl &base, const QString &link)
{
    return base.resolved(QUrl(link.trimmed())).toString(QUrl::FullyEncoded);
}

} // namespace

StaticDocument::StaticDocument(QString url, QString markup, std::shared_ptr<ElementStore> store)
    : m_url(std::move(url)), m_markup(std::move(markup)), m_store(std::move(store))
{
    if (!m_store)
        m_store = std::make_shared<ElementStore>();
}

std::shared_ptr<StaticDocument> StaticDocument::fromHtml(const QString &html, const QString &url)
{
    TreeBuilder tree;
    parse(html, tree);
    const QList<Node> &nodes = tree.nodes;

    QUrl base(url);
    for (const Node &node : nodes) {
        bool present = false;
        const QString h = node.attribute(u"href"_s, &present);
        if (node.tag == u"BASE" && present) {
            base = base.resolved(QUrl(h.trimmed()));
            break;
        }
    }

    auto store = std::make_shared<ElementStore>();
    store->allTags = true;
    QList<int> storeIndex(nodes.size(), -1);
    // Document order is the order nodes were created in.
    for (int i = 1; i < nodes.size(); ++i) {
        const Node &node = nodes.at(i);
        if (node.tag.isEmpty())
            continue;
        ElementData d;
        d.tag = node.tag;
        d.className = node.attribute(u"class"_s);
        d.title = node.attribute(u"title"_s);
        d.name = node.attribute(u"name"_s);
        d.id = node.attribute(u"id"_s);
        d.value = node.attribute(u"value"_s);
        bool typed = false;
        d.type = node.attribute(u"type"_s, &typed);
        if (node.tag == u"INPUT")
            d.type = typed && !d.type.isEmpty() ? d.type.toLower() : u"text"_s;
        else if (node.tag == u"BUTTON")
            d.type = typed && !d.type.isEmpty() ? d.type.toLower() : u"submit"_s;
        if (node.tag == u"TEXTAREA") {
            for (int c : node.children)
                d.value += nodes.at(c).text;
        }
        bool linked = false;
        const QString href = node.attribute(u"href"_s, &linked);
        if (linked && (node.tag == u"A" || node.tag == u"AREA" || node.tag == u"LINK"))
            d.href = resolve(base, href);
        if (isHidden(node.tag)) {
            // Not rendered: innerText falls back to the text content.
            d.innerText = textContent(nodes, i);
        } else {
            QString raw;
            render(nodes, i, raw);
            d.innerText = settleText(raw);
        }
        int p = node.parent;
        d.parent = p > 0 ? storeIndex.at(p) : -1;
        storeIndex[i] = int(store->elements.size());
        store->elements.append(std::move(d));
    }
    store->computeExtents();
    return std::make_shared<StaticDocument>(url, html, std::move(store));
}

ElementCollection StaticDocument::getElementsByTagName(const QString &tag) const
{
    return elementsInRange(m_store, 0, int(m_store->elements.size()), tag.toUpper());
}

Element StaticDocument::getElementById(const QString &id) const
{
    if (id.isEmpty())
        return Element();
    for (int i = 0; i < m_store->elements.size(); ++i) {
        if (m_store->elements.at(i).id == id)
            return Element(m_store, i);
    }
    return Element();
}

std::shared_ptr<Document> StaticDocument::snapshotOf(const QList<SnapshotTag> &, bool withMarkup) const
{
    return std::make_shared<StaticDocument>(m_url, withMarkup ? m_markup : QString(), m_store);
}

void StaticDocument::setClickHandler(std::function<void(const ElementData &)> handler)
{
    m_store->clickHandler = std::move(handler);
}

} // namespace papyrant
