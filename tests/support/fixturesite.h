#pragma once

#include "support/scriptedhttpserver.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>

namespace papyrant {
struct ServiceProfile;
}

namespace papyrant::test {

// The folder tests/fixtures (from PAPYRANT_FIXTURES, else found above the test program).
QString fixturesFolder();
// A fixture file's path, e.g. fixturePath("resultpages/entries.html").
QString fixturePath(const QString &relative);
QString readFixture(const QString &relative);

// The local stand-in for the literature service, in both its forms: tests/fixtures/site served
// over HTTP, with PAPYRANT_SERVICE_BASE pointing at it while the object lives.
//   /               home page (index.html): a search form for each service
// Today's service (profile "CiNii Research"), pages reconstructed in site/cir:
//   /articles?q=...[&page=N], the same under /all
//                   result pages 1 to 3 of any keyword (cir/list1.html ... list3.html; 41 hits,
//                   the next page by page=N), a 404 for any other page number
//   /landing/502.html  a full text's landing page
//   /opensearch/articles?q=...&start=N  the API's answer for any keyword (cir/api/opensearch.json:
//                   three records in one page; any later start answers no items)
//   /crid/<number>.json  the records' JSON (cir/api/<number>.json): a landing page, no full
//                   text, a PDF
// The API files name the service as https://cir.nii.ac.jp; they are served on this site.
// The result pages of before 2022 (profile "CiNii Articles（旧版页面）"):
//   /search?...     result page 1 of any keyword (search1.html), next -> /search2.html
//   /search2.html   result page 2, next -> /search3.html
//   /search3.html   result page 3, the last one (its next link has the wrong class)
//   /blocked.html   the block page; routeKeyword(kw, "blocked.html") makes a keyword meet it
//   /other1.html    a one-page result with two more entries (/pdf/401.pdf, /pdf/402.pdf)
//   /pdf/...        small PDF files
class FixtureSite
{
public:
    FixtureSite();
    ~FixtureSite();

    ScriptedHttpServer &server() { return m_server; }
    QString baseUrl() const { return m_server.baseUrl(); }
    QString url(const QString &pathAndQuery) const { return m_server.url(pathAndQuery); }
    // The search page of this keyword (plain ASCII, as UrlEncode leaves it) in that profile shows
    // the site file, with that HTTP status. A profile that walks by page numbers gets the file
    // for every page of the keyword.
    void routeKeyword(const QString &keyword, const QString &siteFile,
                      const ServiceProfile &profile, int status = 200);
    void routeKeyword(const QString &keyword, const QString &siteFile);
    // The address answers the site's login page (/login.html) instead, as a full text that
    // needs a login does, until the session has logged in there (account and password "demo");
    // then it answers its PDF.
    void answerLoginPage(const QString &path);

private:
    Script researchPage(const RecordedRequest &request) const;
    Script apiPage(const RecordedRequest &request) const;
    QByteArray apiFile(const QString &name) const;

    ScriptedHttpServer m_server;
    QHash<QString, QPair<QString, int>> m_researchKeywords; // keyword -> (site file, status)
    QByteArray m_previousBase;
    bool m_hadBase = false;
};

} // namespace papyrant::test
