#include "support/htmldocument.h"

#include <QHash>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace papyrant::test {

namespace {

using Attributes = QList<std::pair<QString, QString>>; // names lower-case, first one wins

struct Node
{
    enum Kind { Document, Element, Text, Comment };
    Kind kind = Element;
    QString tag;  // upper-case, for elements
    QString text; // of a text or comment node
    Attributes attributes;
    int parent = -1;
    int end = 0; // one past the last descendant: a node's subtree is nodes [index, end)

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

bool isIn(QStringView tag, std::initializer_list<QStringView> set)
{
    for (QStringView s : set) {
        if (tag == s)
            return true;
    }
    return false;
}

bool isVoid(QStringView tag)
{
    return isIn(tag, {u"AREA", u"BASE", u"BR", u"COL", u"EMBED", u"HR", u"IMG", u"INPUT", u"LINK",
                      u"META", u"PARAM", u"SOURCE", u"TRACK", u"WBR"});
}

// Their content is text up to the matching end tag; the first two decode references in it.
bool isEscapableRawText(QStringView tag)
{
    return isIn(tag, {u"TEXTAREA", u"TITLE"});
}

bool isRawText(QStringView tag)
{
    return isIn(tag,
                {u"SCRIPT", u"STYLE", u"XMP", u"IFRAME", u"NOEMBED", u"NOFRAMES", u"NOSCRIPT"});
}

bool isBlock(QStringView tag)
{
    return isIn(tag, {u"ADDRESS", u"ARTICLE",  u"ASIDE",      u"BLOCKQUOTE", u"BODY",   u"CENTER",
                      u"DD",      u"DETAILS",  u"DIALOG",     u"DIR",        u"DIV",    u"DL",
                      u"DT",      u"FIELDSET", u"FIGCAPTION", u"FIGURE",     u"FOOTER", u"FORM",
                      u"H1",      u"H2",       u"H3",         u"H4",         u"H5",     u"H6",
                      u"HEADER",  u"HGROUP",   u"HR",         u"HTML",       u"LI",     u"MAIN",
                      u"MENU",    u"NAV",      u"OL",         u"P",          u"PRE",    u"SECTION",
                      u"TABLE",   u"TR",       u"UL",         u"CAPTION",    u"TBODY",  u"THEAD",
                      u"TFOOT",   u"OPTION"});
}

// Never rendered, whatever the style says.
bool isUnrendered(QStringView tag)
{
    return isIn(tag, {u"HEAD", u"SCRIPT", u"STYLE", u"TITLE", u"NOSCRIPT", u"TEMPLATE", u"META",
                      u"LINK", u"BASE"});
}

QString asciiUpper(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return out;
}

QString asciiLower(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return out;
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiAlnum(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

// --- character references -------------------------------------------------------------------

const QHash<QString, QString> &namedReferences()
{
    static const QHash<QString, QString> table = {
        {u"amp"_s, u"&"_s},        {u"lt"_s, u"<"_s},          {u"gt"_s, u">"_s},
        {u"quot"_s, u"\""_s},      {u"apos"_s, u"'"_s},        {u"nbsp"_s, u"\u00A0"_s},
        {u"copy"_s, u"\u00A9"_s},  {u"reg"_s, u"\u00AE"_s},    {u"hellip"_s, u"\u2026"_s},
        {u"mdash"_s, u"\u2014"_s}, {u"ndash"_s, u"\u2013"_s},  {u"laquo"_s, u"\u00AB"_s},
        {u"raquo"_s, u"\u00BB"_s}, {u"middot"_s, u"\u00B7"_s}, {u"times"_s, u"\u00D7"_s},
        {u"lsquo"_s, u"\u2018"_s}, {u"rsquo"_s, u"\u2019"_s},  {u"ldquo"_s, u"\u201C"_s},
        {u"rdquo"_s, u"\u201D"_s}, {u"yen"_s, u"\u00A5"_s},    {u"thinsp"_s, u"\u2009"_s},
        {u"sol"_s, u"/"_s},        {u"quest"_s, u"?"_s},       {u"equals"_s, u"="_s},
        {u"num"_s, u"#"_s},        {u"period"_s, u"."_s},      {u"colon"_s, u":"_s},
    };
    return table;
}

// Legacy names that browsers also take without the ";".
constexpr QStringView legacyNames[] = {u"amp", u"lt", u"gt", u"quot", u"nbsp", u"copy", u"reg"};

// What a numeric reference stands for, as browsers map it: the C1 range as windows-1252, and
// NUL, surrogates and codes beyond Unicode as U+FFFD.
char32_t numericReference(char32_t code)
{
    static constexpr char16_t windows1252[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return QChar::ReplacementCharacter;
    if (code >= 0x80 && code <= 0x9F)
        return windows1252[code - 0x80];
    return code;
}

// Decodes character references; what is no reference stays as written (so "a=1&b=2" in a link
// keeps its "&").
QString decodeReferences(QStringView in, bool inAttribute)
{
    if (!in.contains(u'&'))
        return in.toString();
    QString out;
    out.reserve(in.size());
    qsizetype i = 0;
    const qsizetype n = in.size();
    while (i < n) {
        const QChar c = in[i];
        if (c != u'&') {
            out.append(c);
            ++i;
            continue;
        }
        if (i + 1 < n && in[i + 1] == u'#') {
            qsizetype j = i + 2;
            const bool hex = j < n && (in[j] == u'x' || in[j] == u'X');
            if (hex)
                ++j;
            const qsizetype digitsStart = j;
            char32_t code = 0;
            for (; j < n; ++j) {
                const QChar d = in[j];
                int v = -1;
                if (d >= u'0' && d <= u'9')
                    v = d.unicode() - u'0';
                else if (hex && d >= u'a' && d <= u'f')
                    v = d.unicode() - u'a' + 10;
                else if (hex && d >= u'A' && d <= u'F')
                    v = d.unicode() - u'A' + 10;
                if (v < 0)
                    break;
                code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(v), 0x110000);
            }
            if (j > digitsStart) {
                if (j < n && in[j] == u';')
                    ++j;
                // A view, not QString::fromUcs4: that would drop a U+FEFF as a byte-order mark.
                out.append(QStringView(QChar::fromUcs4(numericReference(code))));
                i = j;
                continue;
            }
        } else {
            qsizetype j = i + 1;
            while (j < n && j - i <= 32 && isAsciiAlnum(in[j]))
                ++j;
            const QStringView run = in.mid(i + 1, j - i - 1);
            const auto found = namedReferences().constFind(run.toString());
            if (found != namedReferences().constEnd() && j < n && in[j] == u';') {
                out.append(*found);
                i = j + 1;
                continue;
            }
            // A legacy name is taken without ";", even at the start of a longer word ("&ampx"
            // is "&x"), except in an attribute where a letter, digit or "=" follows it.
            bool taken = false;
            for (QStringView legacy : legacyNames) {
                if (!run.startsWith(legacy))
                    continue;
                const qsizetype after = i + 1 + legacy.size();
                const bool blocked =
                    inAttribute && after < n && (isAsciiAlnum(in[after]) || in[after] == u'=');
                if (!blocked) {
                    out.append(namedReferences().value(legacy.toString()));
                    i = after;
                    taken = true;
                }
                break;
            }
            if (taken)
                continue;
        }
        out.append(c);
        ++i;
    }
    return out;
}

// --- tree ----------------------------------------------------------------------------------

class TreeBuilder
{
public:
    QList<Node> nodes;

    TreeBuilder()
    {
        Node document;
        document.kind = Node::Document;
        nodes.append(document);
        open.append(0);
    }

    void text(QString t)
    {
        if (t.isEmpty())
            return;
        // Adjacent text (around a comment that was dropped, say) is one node in the browser.
        const int last = int(nodes.size()) - 1;
        if (nodes.at(last).kind == Node::Text && nodes.at(last).parent == open.last()) {
            nodes[last].text += t;
            return;
        }
        Node n;
        n.kind = Node::Text;
        n.text = std::move(t);
        append(std::move(n));
    }

    void comment(QString t)
    {
        Node n;
        n.kind = Node::Comment;
        n.text = std::move(t);
        append(std::move(n));
    }

    void startTag(const QString &tag, Attributes attributes, bool selfClosing)
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

    // Fills in each node's end; nodes are in document order, so a subtree is contiguous.
    void finish()
    {
        for (int i = 0; i < nodes.size(); ++i)
            nodes[i].end = i + 1;
        for (int i = int(nodes.size()) - 1; i > 0; --i) {
            const int p = nodes.at(i).parent;
            nodes[p].end = std::max(nodes.at(p).end, nodes.at(i).end);
        }
    }

private:
    QList<int> open;

    int append(Node n)
    {
        n.parent = open.last();
        nodes.append(std::move(n));
        return int(nodes.size()) - 1;
    }

    const QString &current() const { return nodes.at(open.last()).tag; }

    // Pops open elements with one of the tags, not looking past a boundary element.
    void closeUpTo(std::initializer_list<QStringView> tags,
                   std::initializer_list<QStringView> boundary)
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

// Where the end tag of a raw-text element starts ("</tag" followed by a space, "/" or ">").
qsizetype rawTextEnd(const QString &html, qsizetype from, const QString &tag)
{
    const QString endTag = u"</"_s + tag;
    for (qsizetype at = html.indexOf(endTag, from, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(endTag, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + endTag.size();
        if (after >= html.size() || isSpace(html[after]) || html[after] == u'/'
            || html[after] == u'>')
            return at;
    }
    return -1;
}

void tokenize(const QString &html, TreeBuilder &tree)
{
    const qsizetype n = html.size();
    qsizetype i = 0;
    qsizetype textStart = 0;
    auto flushText = [&](qsizetype upTo) {
        if (upTo > textStart)
            tree.text(decodeReferences(QStringView(html).mid(textStart, upTo - textStart), false));
    };
    while (i < n) {
        if (html.at(i) != u'<' || i + 1 >= n) {
            ++i;
            continue;
        }
        const QChar next = html.at(i + 1);
        if (QStringView(html).mid(i, 4) == u"<!--") {
            flushText(i);
            const qsizetype close = html.indexOf(u"-->"_s, i + 4);
            tree.comment(html.mid(i + 4, (close < 0 ? n : close) - i - 4));
            i = close < 0 ? n : close + 3;
            textStart = i;
        } else if (next == u'!' || next == u'?') {
            flushText(i);
            const qsizetype close = html.indexOf(u'>', i + 2);
            const QStringView inner = QStringView(html).mid(i + 2, (close < 0 ? n : close) - i - 2);
            if (!inner.startsWith(u"doctype", Qt::CaseInsensitive)) // anything else is a comment
                tree.comment((next == u'?' ? u"?"_s : QString()) + inner.toString());
            i = close < 0 ? n : close + 1;
            textStart = i;
        } else if (next == u'/' && i + 2 < n && isAsciiLetter(html.at(i + 2))) {
            flushText(i);
            qsizetype j = i + 2;
            while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'/')
                ++j;
            tree.endTag(asciiUpper(QStringView(html).mid(i + 2, j - i - 2)));
            const qsizetype close = html.indexOf(u'>', j);
            i = close < 0 ? n : close + 1;
            textStart = i;
        } else if (isAsciiLetter(next)) {
            flushText(i);
            qsizetype j = i + 1;
            while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'/')
                ++j;
            const QString tag = asciiUpper(QStringView(html).mid(i + 1, j - i - 1));
            Attributes attributes;
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
                if (html.at(j) == u'=') // a "=" where a name starts belongs to the name
                    ++j;
                while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'='
                       && html.at(j) != u'/')
                    ++j;
                const QString name = asciiLower(QStringView(html).mid(nameStart, j - nameStart));
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
                        value = decodeReferences(QStringView(html).mid(j + 1, stop - j - 1), true);
                        j = close < 0 ? n : close + 1;
                    } else {
                        const qsizetype start = j;
                        while (j < n && !isSpace(html.at(j)) && html.at(j) != u'>')
                            ++j;
                        value = decodeReferences(QStringView(html).mid(start, j - start), true);
                    }
                }
                bool seen = false;
                for (const auto &a : attributes)
                    seen = seen || a.first == name;
                if (!seen)
                    attributes.append({name, value});
            }
            i = j < n ? j + 1 : n;
            tree.startTag(tag, std::move(attributes), selfClosing);
            if ((isRawText(tag) || isEscapableRawText(tag)) && !selfClosing) {
                // Everything up to the matching end tag is text (scripts may hold "<").
                const qsizetype close = rawTextEnd(html, i, tag);
                const qsizetype stop = close < 0 ? n : close;
                const QStringView raw = QStringView(html).mid(i, stop - i);
                tree.text(isEscapableRawText(tag) ? decodeReferences(raw, false) : raw.toString());
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

// --- style: what display:none hides ----------------------------------------------------------

// The value of the last "display" declaration of a declaration block, lower-case; empty when
// there is none.
QString displayOf(QStringView declarations)
{
    QString display;
    for (QStringView declaration : declarations.split(u';')) {
        const qsizetype colon = declaration.indexOf(u':');
        if (colon < 0
            || declaration.left(colon).trimmed().compare(u"display", Qt::CaseInsensitive) != 0)
            continue;
        QString value = asciiLower(declaration.mid(colon + 1).trimmed());
        value.remove(u"!important"_s);
        display = value.trimmed();
    }
    return display;
}

// A rule of a STYLE element that sets display, with a selector of one compound: a tag, classes,
// an id ("div.note", ".hide", "#x"). Other selectors are not matched.
struct DisplayRule
{
    QString tag; // upper-case; empty for any
    QStringList classes;
    QString id;
    bool hides = false;
};

bool parseSelector(QStringView selector, DisplayRule &rule)
{
    qsizetype i = 0;
    const auto word = [&] {
        const qsizetype start = i;
        while (i < selector.size()
               && (isAsciiAlnum(selector[i]) || selector[i] == u'-' || selector[i] == u'_'
                   || selector[i].unicode() >= 0x80))
            ++i;
        return selector.mid(start, i - start).toString();
    };
    if (i < selector.size() && selector[i] == u'*')
        ++i;
    else if (i < selector.size() && isAsciiLetter(selector[i]))
        rule.tag = asciiUpper(word());
    while (i < selector.size()) {
        const QChar c = selector[i++];
        const QString name = word();
        if (name.isEmpty())
            return false;
        if (c == u'.')
            rule.classes.append(name);
        else if (c == u'#')
            rule.id = name;
        else
            return false;
    }
    return !selector.isEmpty();
}

QList<DisplayRule> displayRules(const QList<Node> &nodes)
{
    QList<DisplayRule> rules;
    for (qsizetype s = 0; s < nodes.size(); ++s) {
        if (nodes.at(s).tag != u"STYLE")
            continue;
        QString sheet;
        for (int c = int(s) + 1; c < nodes.at(s).end; ++c)
            sheet += nodes.at(c).text;
        // Comments go first; they may hold anything.
        for (qsizetype at = sheet.indexOf(u"/*"_s); at >= 0; at = sheet.indexOf(u"/*"_s, at)) {
            const qsizetype close = sheet.indexOf(u"*/"_s, at + 2);
            sheet.remove(at, close < 0 ? sheet.size() - at : close + 2 - at);
        }
        qsizetype i = 0;
        while (i < sheet.size()) {
            const qsizetype open = sheet.indexOf(u'{', i);
            if (open < 0)
                break;
            const qsizetype close = sheet.indexOf(u'}', open);
            const QStringView body =
                QStringView(sheet).mid(open + 1, (close < 0 ? sheet.size() : close) - open - 1);
            const QString display = displayOf(body);
            if (!display.isEmpty()) {
                for (QStringView selector : QStringView(sheet).mid(i, open - i).split(u',')) {
                    DisplayRule rule;
                    rule.hides = display == u"none";
                    if (parseSelector(selector.trimmed(), rule))
                        rules.append(rule);
                }
            }
            i = close < 0 ? sheet.size() : close + 1;
        }
    }
    return rules;
}

bool matches(const DisplayRule &rule, const Node &node)
{
    if (!rule.tag.isEmpty() && rule.tag != node.tag)
        return false;
    if (!rule.id.isEmpty() && node.attribute(u"id"_s) != rule.id)
        return false;
    if (!rule.classes.isEmpty()) {
        const QStringList classes =
            node.attribute(u"class"_s).split(QChar(u' '), Qt::SkipEmptyParts);
        for (const QString &c : rule.classes) {
            if (!classes.contains(c))
                return false;
        }
    }
    return true;
}

// Per node: true when the element itself is display:none (the inline style wins over rules,
// the last matching rule over earlier ones; the hidden attribute counts as a rule).
QList<bool> hiddenByStyle(const QList<Node> &nodes)
{
    const QList<DisplayRule> rules = displayRules(nodes);
    QList<bool> hidden(nodes.size(), false);
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const Node &node = nodes.at(i);
        if (node.kind != Node::Element)
            continue;
        bool hasHidden = false;
        node.attribute(u"hidden"_s, &hasHidden);
        bool hides = hasHidden;
        for (const DisplayRule &rule : rules) {
            if (matches(rule, node))
                hides = rule.hides;
        }
        const QString inline_ = displayOf(node.attribute(u"style"_s));
        if (!inline_.isEmpty())
            hides = inline_ == u"none";
        hidden[i] = hides;
    }
    return hidden;
}

// --- text and markup -----------------------------------------------------------------------

// The parsed page, shared by every element's innerText.
struct Page
{
    QList<Node> nodes;
    QList<bool> unrendered; // the element or one of its ancestors is not rendered
    QList<int> nodeOf;      // element store index -> node index
};

QString textContent(const Page &page, int index)
{
    QString out;
    for (int j = index + 1; j < page.nodes.at(index).end; ++j) {
        if (page.nodes.at(j).kind == Node::Text)
            out += page.nodes.at(j).text;
    }
    return out;
}

// The rendered text before its white space is settled: characters, and the edges of block
// elements, kept apart from the characters (a page may hold any character in its text).
struct RawText
{
    enum Edge : char { None, Block, Paragraph }; // a P asks for two line breaks, a block for one
    QString chars;
    QList<Edge> edges; // per place of chars: an edge takes a place of its own

    void append(QChar c)
    {
        chars.append(c);
        edges.append(None);
    }
    void appendEdge(Edge edge)
    {
        chars.append(QChar(u' '));
        edges.append(edge);
    }
};

QString settleText(const RawText &raw)
{
    QString out;
    out.reserve(raw.chars.size());
    qsizetype i = 0;
    const qsizetype n = raw.chars.size();
    const auto isBreakOrSpace = [&](qsizetype k) {
        const QChar c = raw.chars.at(k);
        return raw.edges.at(k) != RawText::None || c == u' ' || c == u'\t' || c == u'\n';
    };
    while (i < n) {
        if (!isBreakOrSpace(i)) {
            out.append(raw.chars.at(i));
            ++i;
            continue;
        }
        // A run of white space and breaks: breaks win over tabs, tabs over spaces; the edges of
        // a run give the most line breaks one of them asks for.
        int newlines = 0;
        int required = 0;
        bool tab = false;
        for (; i < n && isBreakOrSpace(i); ++i) {
            if (raw.edges.at(i) == RawText::Block)
                required = std::max(required, 1);
            else if (raw.edges.at(i) == RawText::Paragraph)
                required = 2;
            else if (raw.chars.at(i) == u'\n')
                ++newlines;
            else if (raw.chars.at(i) == u'\t')
                tab = true;
        }
        newlines += required;
        if (out.isEmpty() || i >= n)
            continue; // leading and trailing white space goes
        if (newlines > 0)
            out.append(QString(newlines, u'\n'));
        else
            out.append(tab ? u'\t' : u' ');
    }
    return out;
}

// The rendered text of an element, walked in document order with a stack of open elements.
QString renderedText(const Page &page, int index)
{
    const QList<Node> &nodes = page.nodes;
    RawText raw;
    QList<int> open;
    const auto edgeOf = [](const QString &tag) {
        return tag == u"P" ? RawText::Paragraph : isBlock(tag) ? RawText::Block : RawText::None;
    };
    const auto closeBefore = [&](int j) {
        while (!open.isEmpty() && nodes.at(open.last()).end <= j) {
            const QString &tag = nodes.at(open.takeLast()).tag;
            if (edgeOf(tag) != RawText::None)
                raw.appendEdge(edgeOf(tag));
            else if (tag == u"TD" || tag == u"TH")
                raw.append(u'\t');
        }
    };
    for (int j = index; j < nodes.at(index).end;) {
        closeBefore(j);
        const Node &node = nodes.at(j);
        if (node.kind == Node::Text) {
            bool inSpace = false;
            for (const QChar c : node.text) {
                if (isSpace(c)) {
                    if (!inSpace)
                        raw.append(u' ');
                    inSpace = true;
                } else {
                    raw.append(c);
                    inSpace = false;
                }
            }
            ++j;
            continue;
        }
        if (node.kind != Node::Element || (j != index && page.unrendered.at(j))) {
            j = node.end; // a hidden element adds nothing, nor does what it holds
            continue;
        }
        if (node.tag == u"BR")
            raw.append(u'\n');
        else if (edgeOf(node.tag) != RawText::None)
            raw.appendEdge(edgeOf(node.tag));
        open.append(j);
        ++j;
    }
    closeBefore(nodes.at(index).end);
    return settleText(raw);
}

QString innerText(const Page &page, int index)
{
    // An element that is not rendered itself answers with its text content, as the engine does.
    if (page.unrendered.at(index))
        return textContent(page, index);
    return renderedText(page, index);
}

QString escaped(const QString &text, bool inAttribute)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += u"&amp;"_s;
        else if (c == QChar(0xA0))
            out += u"&nbsp;"_s;
        else if (inAttribute && c == u'"')
            out += u"&quot;"_s;
        else if (!inAttribute && c == u'<')
            out += u"&lt;"_s;
        else if (!inAttribute && c == u'>')
            out += u"&gt;"_s;
        else
            out += c;
    }
    return out;
}

// The tree written out as HTML, as the engine's outerHTML writes it: tags lower-case,
// attributes quoted, text escaped except inside raw-text elements, comments kept.
QString serialize(const QList<Node> &nodes, int from, int to)
{
    QString out;
    QList<int> open;
    const auto closeBefore = [&](int j) {
        while (!open.isEmpty() && nodes.at(open.last()).end <= j) {
            const Node &closing = nodes.at(open.takeLast());
            if (!isVoid(closing.tag))
                out += u"</"_s + asciiLower(closing.tag) + u'>';
        }
    };
    for (int j = from; j < to; ++j) {
        closeBefore(j);
        const Node &node = nodes.at(j);
        switch (node.kind) {
        case Node::Text: {
            const Node &parent = nodes.at(node.parent);
            out += parent.kind == Node::Element && isRawText(parent.tag)
                       ? node.text
                       : escaped(node.text, false);
            break;
        }
        case Node::Comment: out += u"<!--"_s + node.text + u"-->"_s; break;
        case Node::Element:
            out += u'<' + asciiLower(node.tag);
            for (const auto &[name, value] : node.attributes)
                out += u' ' + name + u"=\""_s + escaped(value, true) + u'"';
            out += u'>';
            open.append(j);
            break;
        case Node::Document: break;
        }
    }
    closeBefore(to);
    return out;
}

// documentElement.outerHTML: the page's HTML element, or the whole page inside one where the
// markup has none (the engine always makes one).
QString documentMarkup(const QList<Node> &nodes)
{
    for (int i = 1; i < nodes.size(); i = nodes.at(i).end) {
        if (nodes.at(i).kind == Node::Element && nodes.at(i).tag == u"HTML")
            return serialize(nodes, i, nodes.at(i).end);
    }
    return u"<html>"_s + serialize(nodes, 1, int(nodes.size())) + u"</html>"_s;
}

QString resolve(const QUrl &base, const QString &link)
{
    return base.resolved(QUrl(link.trimmed())).toString(QUrl::FullyEncoded);
}

} // namespace

std::shared_ptr<StaticDocument> parseHtml(const QString &html, const QString &url)
{
    // The input stream as browsers see it: CR LF and CR are LF, a NUL is U+FFFD.
    QString input = html;
    input.replace(u"\r\n"_s, u"\n"_s)
        .replace(u'\r', u'\n')
        .replace(QChar(0), QChar::ReplacementCharacter);
    TreeBuilder tree;
    tokenize(input, tree);
    tree.finish();

    auto page = std::make_shared<Page>();
    page->nodes = std::move(tree.nodes);
    const QList<Node> &nodes = page->nodes;

    const QList<bool> hidden = hiddenByStyle(nodes);
    page->unrendered.resize(nodes.size());
    for (qsizetype i = 1; i < nodes.size(); ++i) {
        const Node &node = nodes.at(i);
        page->unrendered[i] = hidden.at(i) || (node.kind == Node::Element && isUnrendered(node.tag))
                              || page->unrendered.at(node.parent);
    }

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
    for (int i = 1; i < nodes.size(); ++i) {
        const Node &node = nodes.at(i);
        if (node.kind != Node::Element)
            continue;
        ElementData d;
        d.tag = node.tag;
        d.className = node.attribute(u"class"_s);
        d.title = node.attribute(u"title"_s);
        d.name = node.attribute(u"name"_s);
        d.id = node.attribute(u"id"_s);
        d.value = node.attribute(u"value"_s);
        d.rel = node.attribute(u"rel"_s);
        bool typed = false;
        d.type = node.attribute(u"type"_s, &typed);
        if (node.tag == u"INPUT")
            d.type = typed && !d.type.isEmpty() ? asciiLower(d.type) : u"text"_s;
        else if (node.tag == u"BUTTON")
            d.type = typed && !d.type.isEmpty() ? asciiLower(d.type) : u"submit"_s;
        if (node.tag == u"TEXTAREA")
            d.value = textContent(*page, i);
        bool linked = false;
        const QString href = node.attribute(u"href"_s, &linked);
        if (linked && (node.tag == u"A" || node.tag == u"AREA" || node.tag == u"LINK"))
            d.href = resolve(base, href);
        // The nearest ancestor that is an element; the document itself is none.
        int p = node.parent;
        while (p > 0 && nodes.at(p).kind != Node::Element)
            p = nodes.at(p).parent;
        d.parent = p > 0 ? storeIndex.at(p) : -1;
        storeIndex[i] = int(store->elements.size());
        page->nodeOf.append(i);
        store->elements.append(std::move(d));
    }
    store->computeExtents();
    store->innerTextOf = [page](int element) { return innerText(*page, page->nodeOf.at(element)); };
    return std::make_shared<StaticDocument>(url, documentMarkup(nodes), std::move(store));
}

} // namespace papyrant::test
