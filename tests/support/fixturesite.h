#pragma once

#include "support/scriptedhttpserver.h"

#include <QByteArray>
#include <QString>

namespace papyrant::test {

// The folder tests/fixtures (from PAPYRANT_FIXTURES, else found above the test program).
QString fixturesFolder();
// A fixture file's path, e.g. fixturePath("resultpages/entries.html").
QString fixturePath(const QString &relative);
QString readFixture(const QString &relative);

// The local stand-in for the literature service: tests/fixtures/site served over HTTP, with
// PAPYRANT_SERVICE_BASE pointing at it while the object lives.
//   /               home page (index.html)
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
    // The search page of this keyword (plain ASCII, as UrlEncode leaves it) shows the site file.
    void routeKeyword(const QString &keyword, const QString &siteFile);
    // The address answers the site's login page instead (a full text that needs a login).
    void answerLoginPage(const QString &path);

private:
    ScriptedHttpServer m_server;
    QByteArray m_previousBase;
    bool m_hadBase = false;
};

} // namespace papyrant::test
