#include "support/fixturesite.h"

#include "search/serviceaddress.h"
#include "search/serviceprofile.h"
#include "support/profiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

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

// Every PDF of the site is the same small, valid file.
static const QByteArray sitePdf = "%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n";

FixtureSite::FixtureSite()
{
    const QString site = fixturePath(u"site"_s);
    m_server.serveFile(u"/"_s, site + u"/index.html"_s, "text/html; charset=utf-8");
    m_server.serveFile(u"/search"_s, site + u"/search1.html"_s, "text/html; charset=utf-8");
    m_server.serveDirectory(u"/"_s, site);
    for (const QString &path : {u"/articles"_s, u"/all"_s})
        m_server.routeHandler(path, [this](const RecordedRequest &r) { return researchPage(r); });
    m_server.routeHandler(u"/opensearch/articles"_s,
                          [this](const RecordedRequest &r) { return apiPage(r); });
    for (const char *number : {"3010000000000000001", "3010000000000000002", "3010000000000000003"})
        m_server.serveBody(u"/crid/"_s + QLatin1StringView(number) + u".json"_s,
                           apiFile(QLatin1StringView(number) + u".json"_s),
                           "application/json; charset=utf-8");
    for (const char *name : {"101", "102", "103", "201", "202", "301", "401", "402", "501", "502",
                             "601", "602", "701", "801", "802"})
        m_server.serveBody(u"/pdf/"_s + QLatin1StringView(name) + u".pdf"_s, sitePdf,
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

Script FixtureSite::researchPage(const RecordedRequest &request) const
{
    const QUrlQuery query(QUrl(QString::fromUtf8(request.target)));
    const QString keyword = query.queryItemValue(u"q"_s, QUrl::FullyDecoded);
    const auto page = [](const QString &file, int status = 200) {
        return Script::response(status, readFixture(u"site/"_s + file).toUtf8(),
                                "text/html; charset=utf-8");
    };
    if (m_researchKeywords.contains(keyword)) {
        const auto &[file, status] = m_researchKeywords.value(keyword);
        return page(file, status);
    }
    const QString number = query.queryItemValue(u"page"_s);
    const int n = number.isEmpty() ? 1 : number.toInt();
    if (n >= 1 && n <= 3)
        return page(u"cir/list%1.html"_s.arg(n));
    return Script::response(404, "<html><body>Not Found</body></html>", "text/html");
}

QByteArray FixtureSite::apiFile(const QString &name) const
{
    return readFixture(u"site/cir/api/"_s + name)
        .replace(u"https://cir.nii.ac.jp"_s, m_server.baseUrl())
        .toUtf8();
}

Script FixtureSite::apiPage(const RecordedRequest &request) const
{
    const QUrlQuery query(QUrl(QString::fromUtf8(request.target)));
    const QString start = query.queryItemValue(u"start"_s);
    if (start.isEmpty() || start == u"1"_s)
        return Script::response(200, apiFile(u"opensearch.json"_s),
                                "application/json; charset=utf-8");
    return Script::response(200, R"({"opensearch:totalResults": 3, "items": []})",
                            "application/json; charset=utf-8");
}

void FixtureSite::routeKeyword(const QString &keyword, const QString &siteFile,
                               const ServiceProfile &profile, int status)
{
    if (profile.next.kind == ServiceProfile::NextRule::PageParameter) {
        m_researchKeywords.insert(keyword, {siteFile, status});
        return;
    }
    const QString address = ServiceSearchPage(profile, keyword);
    const QString target = address.mid(m_server.baseUrl().size());
    m_server.route(target, Script::response(status, readFixture(u"site/"_s + siteFile).toUtf8(),
                                            "text/html; charset=utf-8"));
}

void FixtureSite::routeKeyword(const QString &keyword, const QString &siteFile)
{
    routeKeyword(keyword, siteFile, legacyProfile());
}

void FixtureSite::answerLoginPage(const QString &path)
{
    const QByteArray login = readFixture(u"site/login.html"_s).toUtf8();
    m_server.routeHandler(path, [login](const RecordedRequest &r) {
        if (r.header("Cookie").contains("session=fixture"))
            return Script::response(200, sitePdf, "application/pdf");
        return Script::response(200, login, "text/html; charset=utf-8");
    });
    // The login page's form: account and password "demo" open the session.
    m_server.routeHandler(u"/login"_s, [login](const RecordedRequest &r) {
        if (r.method == "POST" && r.body == "user=demo&pass=demo")
            return Script::response(
                200, "<html><head><title>ログインしました</title></head></html>",
                "text/html; charset=utf-8", {"Set-Cookie: session=fixture; Path=/"});
        return Script::response(200, login, "text/html; charset=utf-8");
    });
}

} // namespace papyrant::test
