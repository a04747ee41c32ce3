#include "support/fixturesite.h"

#include "search/serviceaddress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace papyrant::test {

QString fixturesFolder()
{
    const QString fromEnv = qEnvironmentVariable("PAPYRANT_FIXTURES");
    if (!fromEnv.isEmpty())
        return QDir::fromNativeSeparators(fromEnv);
    // Run by hand from the build tree: look upwards for the source tree's fixtures.
    QDir dir(QCoreApplication::applicationDirPath());
    for (int i = 0; i < 8; ++i) {
        if (QFileInfo(dir.filePath(u"tests/fixtures"_s)).isDir())
            return dir.filePath(u"tests/fixtures"_s);
        if (!dir.cdUp())
            break;
    }
    return u"tests/fixtures"_s;
}

QString fixturePath(const QString &relative)
{
    return fixturesFolder() + u'/' + relative;
}

QString readFixture(const QString &relative)
{
    QFile file(fixturePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

FixtureSite::FixtureSite()
{
    const QString site = fixturePath(u"site"_s);
    m_server.serveFile(u"/"_s, site + u"/index.html"_s, "text/html; charset=utf-8");
    m_server.serveFile(u"/search"_s, site + u"/search1.html"_s, "text/html; charset=utf-8");
    m_server.serveDirectory(u"/"_s, site);
    // Every PDF of the site is the same small, valid file.
    const QByteArray pdf = "%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n";
    for (const char *name : {"101", "102", "103", "201", "202", "301", "401", "402"})
        m_server.serveBody(u"/pdf/"_s + QLatin1StringView(name) + u".pdf"_s, pdf,
                           "application/pdf");

    m_hadBase = qEnvironmentVariableIsSet("PAPYRANT_SERVICE_BASE");
    m_previousBase = qgetenv("PAPYRANT_SERVICE_BASE");
    qputenv("PAPYRANT_SERVICE_BASE", m_server.baseUrl().toUtf8());
}

FixtureSite::~FixtureSite()
{
    if (m_hadBase)
        qputenv("PAPYRANT_SERVICE_BASE", m_previousBase);
    else
        qunsetenv("PAPYRANT_SERVICE_BASE");
}

void FixtureSite::routeKeyword(const QString &keyword, const QString &siteFile)
{
    const QString address = ServiceSearchPage(keyword);
    const QString target = address.mid(m_server.baseUrl().size());
    m_server.serveFile(target, fixturePath(u"site/"_s + siteFile), "text/html; charset=utf-8");
}

void FixtureSite::answerLoginPage(const QString &path)
{
    m_server.serveBody(path, readFixture(u"site/login.html"_s).toUtf8(),
                       "text/html; charset=utf-8");
}

} // namespace papyrant::test
