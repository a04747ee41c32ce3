// The fixture site as a program of its own, for walking the program's road by hand and for the
// start-up benchmark: serves tests/fixtures/site on 127.0.0.1 and prints its address.
//   fixture_site            (a free port each time)
#include "support/fixturesite.h"
#include "support/profiles.h"

#include <QCoreApplication>
#include <QTextStream>
#include <csignal>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char **argv)
{
    // Wherever it is started from, the site is the source tree's.
    if (qEnvironmentVariableIsEmpty("PAPYRANT_FIXTURES"))
        qputenv("PAPYRANT_FIXTURES", PAPYRANT_FIXTURES_DIR);
    QCoreApplication app(argc, argv);
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });
    papyrant::test::FixtureSite site;
    // The road's two cases beyond plain PDFs, for both services: a second keyword of the batch
    // with rows of its own, and a full-text link that answers a login page.
    site.routeKeyword(u"marsh"_s, u"other1.html"_s);
    site.routeKeyword(u"marsh"_s, u"cir/other1.html"_s, papyrant::test::researchProfile());
    site.answerLoginPage(u"/pdf/202.pdf"_s);
    site.answerLoginPage(u"/pdf/602.pdf"_s);
    // Today's service saying why a search gives nothing: no hits, or a refusal (HTTP 429).
    site.routeKeyword(u"nothing"_s, u"cir/noresults.html"_s, papyrant::test::researchProfile());
    site.routeKeyword(u"busy"_s, u"cir/toomany.html"_s, papyrant::test::researchProfile(), 429);
    QTextStream(stdout) << site.baseUrl() << Qt::endl;
    return app.exec();
}
