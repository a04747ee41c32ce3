#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <chrono>

namespace papyrant {

// What a downloaded web page says about the full text it stands for, and what it is when it is
// not a way to one. Repositories, J-STAGE and most journal platforms publish the PDF's address
// in the page for indexers; a page without one may be a login, a rate-limit or CAPTCHA page.
// Read in one pass over the page as an HTML5 parser builds it; no script runs.
struct LandingPage
{
    enum class Status {
        Read,       // the page was read; the fields below say what it holds
        TooLarge,   // larger than LandingPageLimits::maxBytes: not read
        TooComplex, // the parser gave up (time or memory limit): nothing is known of the page
        Unreadable, // the file could not be opened
    };
    Status status = Status::Read;

    // Addresses that may lead to the full text, in the order to try them (the first that
    // answers a PDF is the one), absolute, http or https only, without fragment, each once,
    // at most MaxFullTextLinks:
    //  1. every <meta name="citation_pdf_url" content>, in document order;
    //  2. every <link rel="alternate" type="application/pdf" href>;
    //  3. every A whose address is a repository's file (its path ends in ".pdf" and holds a
    //     "/files/" or "/bitstream/" folder, on the page's own host) or whose text is "PDF",
    //     "本文", "全文" or "Full Text" (trimmed, spaces between words collapsed, Latin
    //     letters in any case), in document order;
    //  4. on a J-STAGE article page, the article's "/_pdf" address (JStagePdfAddress).
    // Relative addresses are resolved against the page's address and its <base href>.
    QStringList fullTextLinks;

    QString title;                 // the first <title>, spaces collapsed
    bool hasPasswordField = false; // an <input type="password">: a login page
    // Why the page looks like a rate-limit or CAPTCHA page: the first marker met, in lower
    // case; empty when none was. The markers, in any case: in the title or the page's text
    // (scripts and styles aside) "too many requests", "rate limit exceeded", "verify you are
    // human", "are you a robot", "unusual traffic", "アクセスが集中", "captcha"; in the title
    // alone "just a moment", "attention required"; in an element's class or id "g-recaptcha",
    // "h-captcha", "cf-turnstile", "captcha". A page carrying scholarly metadata (a <meta>
    // named citation_*, dc.*, dcterms.* or prism.*) is a record page and never counts as one,
    // so an article about CAPTCHAs stays an article.
    QString challengeMarker;
    // Where <meta http-equiv="refresh" content="N; url=..."> sends the reader, absolute, http or
    // https only; empty when there is none or it reloads the page itself.
    QString refreshTarget;
    QByteArray charset; // what the page's bytes were read as (PageAsUtf8)
};

inline constexpr int MaxFullTextLinks = 16;

struct LandingPageLimits
{
    qsizetype maxBytes = 4 * 1024 * 1024; // a landing page is some hundred kilobytes
    // The parser's bounds (HtmlTree): an ordinary page of a megabyte takes some tens of
    // milliseconds and about 11 MB.
    std::chrono::milliseconds maxParseTime{1000};
    std::size_t maxParserMemory = 256u << 20;
};

// Reads a page held in memory. address is where it came from (after redirects), the base of
// its relative addresses.
LandingPage ReadLandingPage(QByteArrayView bytes, const QString &address,
                            const LandingPageLimits &limits = {});
// Reads a page saved to disk; a file over the size limit is not read at all.
LandingPage ReadLandingPageFile(const QString &path, const QString &address,
                                const LandingPageLimits &limits = {});

// The PDF address of a J-STAGE article page, or empty when the address is not one. An article
// page is http(s)://www.jstage.jst.go.jp (or jstage.jst.go.jp) with the path
// /article/<journal>/<volume>/<number>/<article>/_article, optionally followed by
// /-char/<language> and a final "/"; each of the four names is one non-empty path segment
// other than "." and "..". The PDF is the same path with "_pdf" in place of "_article" and
// what follows it, on the same scheme and host, without query or fragment:
//   https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_article/-char/ja/
//   -> https://www.jstage.jst.go.jp/article/jjsp/19/1/19_1_1/_pdf
QString JStagePdfAddress(const QString &pageAddress);

} // namespace papyrant
