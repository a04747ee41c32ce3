#include "download/landingpage.h"

#include "download/htmltree.h"
#include "download/pagecharset.h"

#include <QFile>
#include <QLatin1StringView>
#include <QSet>
#include <QUrl>

#include <gumbo.h>

#include <algorithm>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// Markers of a rate-limit or CAPTCHA page (see LandingPage::challengeMarker).
constexpr const char *textMarkers[] = {"too many requests",
                                       "rate limit exceeded",
                                       "verify you are human",
                                       "are you a robot",
                                       "unusual traffic",
                                       "アクセスが集中",
                                       "captcha"};
constexpr const char *titleMarkers[] = {"just a moment", "attention required"};
constexpr const char *attributeMarkers[] = {"g-recaptcha", "h-captcha", "cf-turnstile", "captcha"};

// Only the first bytes of a link's text are kept: the texts looked for are short.
constexpr qsizetype maxLinkText = 64;

QByteArrayView view(const char *text)
{
    return text ? QByteArrayView(text, qsizetype(qstrlen(text))) : QByteArrayView();
}

bool equalNoCase(QByteArrayView a, QLatin1StringView b)
{
    return QLatin1StringView(a.data(), a.size()).compare(b, Qt::CaseInsensitive) == 0;
}

bool startsNoCase(QByteArrayView a, QLatin1StringView b)
{
    return QLatin1StringView(a.data(), a.size()).startsWith(b, Qt::CaseInsensitive);
}

// The first marker of the list that occurs in UTF-8 text; ASCII markers in any case.
template<std::size_t N> const char *findMarker(QByteArrayView utf8, const char *const (&markers)[N])
{
    const QLatin1StringView haystack(utf8.data(), utf8.size());
    for (const char *marker : markers) {
        const QByteArrayView needle = view(marker);
        const bool ascii =
            std::all_of(needle.begin(), needle.end(), [](char c) { return uchar(c) < 0x80; });
        if (ascii ? haystack.contains(QLatin1StringView(needle.data(), needle.size()),
                                      Qt::CaseInsensitive)
                  : utf8.contains(needle))
            return marker;
    }
    return nullptr;
}

bool isHtml(const GumboNode *node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag
           && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

QByteArrayView attribute(const GumboNode *node, const char *name)
{
    const GumboAttribute *a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a ? view(a->value) : QByteArrayView();
}

bool hasAttribute(const GumboNode *node, const char *name)
{
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

const GumboVector *childrenOf(const GumboNode *node)
{
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT: return &node->v.document.children;
    case GUMBO_NODE_ELEMENT: return &node->v.element.children;
    default: // a <template>'s content is not part of the page; text has no children
        return nullptr;
    }
}

// An attribute's list of words ("alternate stylesheet") holds the word, in any case.
bool hasWord(QByteArrayView words, QLatin1StringView word)
{
    for (const QByteArrayView w : QByteArray(words.toByteArray()).simplified().split(' '))
        if (equalNoCase(w, word))
            return true;
    return false;
}

// "application/pdf; charset=binary" is application/pdf.
bool isPdfType(QByteArrayView type)
{
    const QByteArray t = type.toByteArray();
    const qsizetype semicolon = t.indexOf(';');
    return equalNoCase(QByteArray(t.left(semicolon < 0 ? t.size() : semicolon)).trimmed(),
                       "application/pdf"_L1);
}

bool isScholarlyMetaName(QByteArrayView name)
{
    return startsNoCase(name, "citation_"_L1) || startsNoCase(name, "dc."_L1)
           || startsNoCase(name, "dcterms."_L1) || startsNoCase(name, "prism."_L1);
}

bool isFullTextLinkText(const QString &text)
{
    const QString t = text.simplified();
    return t.compare(u"PDF"_s, Qt::CaseInsensitive) == 0
           || t.compare(u"Full Text"_s, Qt::CaseInsensitive) == 0 || t == u"本文"_s
           || t == u"全文"_s;
}

// The URL of a meta refresh's content ("5; URL='next.html'"), as browsers read it; empty when
// it names none.
QString refreshUrl(const QString &content)
{
    qsizetype i = 0;
    const auto skipSpaces = [&] {
        while (i < content.size() && content.at(i).unicode() <= 0x20)
            ++i;
    };
    skipSpaces();
    const qsizetype timeStart = i;
    while (i < content.size() && (content.at(i).isDigit() || content.at(i) == u'.'))
        ++i;
    if (i == timeStart)
        return {};
    skipSpaces();
    if (i < content.size() && (content.at(i) == u';' || content.at(i) == u','))
        ++i;
    skipSpaces();
    if (QStringView(content).sliced(i).startsWith(u"url"_s, Qt::CaseInsensitive)) {
        qsizetype j = i + 3;
        while (j < content.size() && content.at(j).unicode() <= 0x20)
            ++j;
        if (j < content.size() && content.at(j) == u'=') {
            i = j + 1;
            skipSpaces();
        }
    }
    QString url = content.sliced(i);
    if (!url.isEmpty() && (url.at(0) == u'"' || url.at(0) == u'\'')) {
        const qsizetype close = url.indexOf(url.at(0), 1);
        url = url.mid(1, close < 0 ? -1 : close - 1);
    }
    return url;
}

// A link's address made absolute, or an invalid URL when it is not an http(s) address. Tabs
// and line breaks inside are dropped and spaces around trimmed, as browsers do.
QUrl resolveHttp(const QUrl &base, const QString &raw)
{
    QString text = raw;
    text.remove(u'\t').remove(u'\n').remove(u'\r');
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from).unicode() <= 0x20)
        ++from;
    while (to > from && text.at(to - 1).unicode() <= 0x20)
        --to;
    if (from == to)
        return {};
    const QUrl relative(text.sliced(from, to - from), QUrl::TolerantMode);
    if (!relative.isValid())
        return {};
    QUrl url = base.resolved(relative);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s) || url.host().isEmpty())
        return {};
    url.setFragment({});
    return url;
}

// A repository's file: a PDF in a /files/ (WEKO) or /bitstream/ (DSpace) folder of the page's
// own host.
bool isRepositoryFile(const QUrl &url, const QUrl &page)
{
    if (page.host().isEmpty() || url.host() != page.host())
        return false;
    const QString path = url.path();
    return path.endsWith(u".pdf"_s, Qt::CaseInsensitive)
           && (path.contains(u"/files/"_s, Qt::CaseInsensitive)
               || path.contains(u"/bitstream/"_s, Qt::CaseInsensitive));
}

// What one walk over the tree collects, before any address is resolved: the page's <base>
// counts wherever it stands.
struct Collected
{
    QString base;
    bool baseSeen = false;
    QStringList metaPdf;
    QStringList alternates;
    struct Anchor
    {
        QString href;
        bool textMatches = false;
    };
    QList<Anchor> anchors;
    QString title;
    bool titleSeen = false;
    bool password = false;
    bool scholarly = false;
    const char *marker = nullptr;
    QString refresh;
    bool refreshSeen = false;
};

class Walker
{
public:
    explicit Walker(Collected &out) : m_out(out) {}

    void walk(const GumboNode *document)
    {
        struct Frame
        {
            const GumboNode *node;
            unsigned next;
        };
        std::vector<Frame> stack{{document, 0}};
        while (!stack.empty()) {
            Frame &frame = stack.back();
            const GumboVector *children = childrenOf(frame.node);
            if (children && frame.next < children->length) {
                const auto *child = static_cast<const GumboNode *>(children->data[frame.next++]);
                if (enter(child))
                    stack.push_back({child, 0});
            } else {
                leave(frame.node);
                stack.pop_back();
            }
        }
    }

private:
    struct OpenAnchor
    {
        qsizetype index; // into Collected::anchors, or -1 for an A without href
        QByteArray text;
    };

    // Handles a node as the walk reaches it; true when the walk goes into its children.
    bool enter(const GumboNode *node)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE: text(view(node->v.text.text)); return false;
        case GUMBO_NODE_ELEMENT: break;
        default: return false;
        }
        const GumboElement &e = node->v.element;
        if (lookingForMarkers()) {
            if (const char *m = findMarker(attribute(node, "class"), attributeMarkers))
                m_out.marker = m;
            else if (const char *m = findMarker(attribute(node, "id"), attributeMarkers))
                m_out.marker = m;
        }
        if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
            return true;
        switch (e.tag) {
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE: return false;
        case GUMBO_TAG_NOSCRIPT: ++m_noscript; return true;
        case GUMBO_TAG_BASE:
            if (!m_out.baseSeen && hasAttribute(node, "href")) {
                m_out.baseSeen = true;
                m_out.base = QString::fromUtf8(attribute(node, "href"));
            }
            return true;
        case GUMBO_TAG_META: meta(node); return true;
        case GUMBO_TAG_LINK:
            if (hasWord(attribute(node, "rel"), "alternate"_L1)
                && isPdfType(attribute(node, "type")) && hasAttribute(node, "href"))
                m_out.alternates.append(QString::fromUtf8(attribute(node, "href")));
            return true;
        case GUMBO_TAG_A:
            m_anchors.push_back({-1, {}});
            if (hasAttribute(node, "href")) {
                m_anchors.back().index = m_out.anchors.size();
                m_out.anchors.append({QString::fromUtf8(attribute(node, "href")), false});
            }
            return true;
        case GUMBO_TAG_INPUT:
            if (equalNoCase(QByteArray(attribute(node, "type").toByteArray()).trimmed(),
                            "password"_L1))
                m_out.password = true;
            return true;
        case GUMBO_TAG_TITLE:
            if (!m_out.titleSeen) {
                m_out.titleSeen = true;
                QByteArray title;
                for (unsigned i = 0; i < e.children.length; ++i) {
                    const auto *c = static_cast<const GumboNode *>(e.children.data[i]);
                    if (c->type == GUMBO_NODE_TEXT || c->type == GUMBO_NODE_WHITESPACE)
                        title += c->v.text.text;
                }
                m_out.title = QString::fromUtf8(title).simplified();
                if (lookingForMarkers())
                    m_out.marker = findMarker(title, titleMarkers);
            }
            return true;
        default: return true;
        }
    }

    // Once one marker is found, or the page shows itself a record page (its metadata comes in
    // the head, before the text), the rest of the text need not be searched.
    bool lookingForMarkers() const { return !m_out.marker && !m_out.scholarly; }

    void leave(const GumboNode *node)
    {
        if (isHtml(node, GUMBO_TAG_NOSCRIPT)) {
            --m_noscript;
        } else if (isHtml(node, GUMBO_TAG_A) && !m_anchors.empty()) {
            const OpenAnchor &a = m_anchors.back();
            if (a.index >= 0 && a.text.size() <= maxLinkText)
                m_out.anchors[a.index].textMatches = isFullTextLinkText(QString::fromUtf8(a.text));
            m_anchors.pop_back();
        }
    }

    void text(QByteArrayView utf8)
    {
        if (!m_anchors.empty()) {
            QByteArray &t = m_anchors.back().text;
            if (t.size() <= maxLinkText)
                t += utf8.first(qMin(utf8.size(), maxLinkText + 1 - t.size()));
        }
        if (lookingForMarkers())
            m_out.marker = findMarker(utf8, textMarkers);
    }

    void meta(const GumboNode *node)
    {
        const QByteArrayView name = attribute(node, "name");
        if (isScholarlyMetaName(name))
            m_out.scholarly = true;
        if (equalNoCase(name, "citation_pdf_url"_L1) && hasAttribute(node, "content"))
            m_out.metaPdf.append(QString::fromUtf8(attribute(node, "content")));
        // A refresh inside <noscript> is for browsers without scripts, not for this reader.
        if (!m_out.refreshSeen && m_noscript == 0
            && equalNoCase(QByteArray(attribute(node, "http-equiv").toByteArray()).trimmed(),
                           "refresh"_L1)) {
            m_out.refreshSeen = true;
            m_out.refresh = refreshUrl(QString::fromUtf8(attribute(node, "content")));
        }
    }

    Collected &m_out;
    std::vector<OpenAnchor> m_anchors;
    int m_noscript = 0;
};

LandingPage fromCollected(const Collected &c, const QString &address)
{
    LandingPage page;
    const QUrl pageUrl(address, QUrl::TolerantMode);
    QUrl base = pageUrl;
    if (c.baseSeen) {
        if (const QUrl b = resolveHttp(pageUrl, c.base); b.isValid())
            base = b;
    }
    QSet<QString> seen;
    const auto add = [&](const QUrl &url) {
        if (!url.isValid() || page.fullTextLinks.size() >= MaxFullTextLinks)
            return;
        const QString text = url.toString(QUrl::FullyEncoded);
        if (!seen.contains(text)) {
            seen.insert(text);
            page.fullTextLinks.append(text);
        }
    };
    for (const QString &raw : c.metaPdf)
        add(resolveHttp(base, raw));
    for (const QString &raw : c.alternates)
        add(resolveHttp(base, raw));
    for (const Collected::Anchor &a : c.anchors) {
        const QUrl url = resolveHttp(base, a.href);
        if (url.isValid() && (a.textMatches || isRepositoryFile(url, pageUrl)))
            add(url);
    }
    if (const QString jstage = JStagePdfAddress(address); !jstage.isEmpty())
        add(QUrl(jstage));

    page.title = c.title;
    page.hasPasswordField = c.password;
    if (c.marker && !c.scholarly)
        page.challengeMarker = QString::fromUtf8(c.marker);
    if (c.refreshSeen && !c.refresh.isEmpty()) {
        const QUrl target = resolveHttp(base, c.refresh);
        QUrl self = pageUrl;
        self.setFragment({});
        if (target.isValid() && target != self)
            page.refreshTarget = target.toString(QUrl::FullyEncoded);
    }
    return page;
}

} // namespace

LandingPage ReadLandingPage(QByteArrayView bytes, const QString &address,
                            const LandingPageLimits &limits)
{
    LandingPage page;
    if (bytes.size() > limits.maxBytes) {
        page.status = LandingPage::Status::TooLarge;
        return page;
    }
    const PageUtf8 utf8 = PageAsUtf8(bytes);
    const HtmlTree tree(utf8.utf8, {limits.maxParseTime, limits.maxParserMemory});
    if (!tree.document()) {
        page.status = LandingPage::Status::TooComplex;
        page.charset = utf8.charset;
        return page;
    }
    Collected collected;
    Walker(collected).walk(tree.document());
    page = fromCollected(collected, address);
    page.charset = utf8.charset;
    return page;
}

LandingPage ReadLandingPageFile(const QString &path, const QString &address,
                                const LandingPageLimits &limits)
{
    LandingPage page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        page.status = LandingPage::Status::Unreadable;
        return page;
    }
    // One byte more than allowed tells a file that grew past the limit since it was measured.
    if (file.size() > limits.maxBytes) {
        page.status = LandingPage::Status::TooLarge;
        return page;
    }
    const QByteArray bytes = file.read(limits.maxBytes + 1);
    return ReadLandingPage(bytes, address, limits);
}

QString JStagePdfAddress(const QString &pageAddress)
{
    const QUrl url(pageAddress, QUrl::StrictMode);
    const QString host = url.host();
    if (!url.isValid() || (url.scheme() != u"http"_s && url.scheme() != u"https"_s)
        || (host != u"www.jstage.jst.go.jp"_s && host != u"jstage.jst.go.jp"_s))
        return {};
    QStringList segments = url.path(QUrl::FullyEncoded).split(u'/');
    if (segments.size() > 1 && segments.last().isEmpty())
        segments.removeLast(); // the final "/"
    const auto isName = [](const QString &s) {
        return !s.isEmpty() && s != u"."_s && s != u".."_s;
    };
    if (segments.size() != 7 && segments.size() != 9)
        return {};
    if (!segments.at(0).isEmpty() || segments.at(1) != u"article"_s
        || segments.at(6) != u"_article"_s)
        return {};
    for (int i = 2; i <= 5; ++i)
        if (!isName(segments.at(i)))
            return {};
    if (segments.size() == 9 && (segments.at(7) != u"-char"_s || !isName(segments.at(8))))
        return {};
    QUrl pdf;
    pdf.setScheme(url.scheme());
    pdf.setHost(host);
    pdf.setPort(url.port());
    pdf.setPath(segments.mid(0, 6).join(u'/') + u"/_pdf"_s, QUrl::TolerantMode);
    return pdf.toString(QUrl::FullyEncoded);
}

} // namespace papyrant
