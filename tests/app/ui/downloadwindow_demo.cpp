// The download window as a person meets it: rows handed over the way the search window hands
// them, fetched from a local server by the real scheduler, sniffed and renamed.
//
//   download_window_demo [--start] [--shot file.png] [--quit] [--panel] [--reasons]
//                        [--rest-shot file.png]
//
// --start clicks "开始下载"; --shot saves a picture of the window once every row has ended;
// --quit ends the program then. Without --quit the window stays for a walk through it. Run it
// with its own XDG_CONFIG_HOME so that it does not share settings.
//
// One row is a members' paper: without the site's session cookie it answers the site's login
// page. The login page is at the address printed on start ("login <url>"; account "demo",
// password "demo"). --panel opens "网页登录" with that address in "网址：" and clicks "浏览".
//
// Two rows are on a second host (127.0.0.2) that answers its first two requests with 429 and
// "Retry-After: 20": they wait for its rest while the others go on. --rest-shot saves a picture
// while they wait.
#include "app/ui/programwindows.h"
#include "download/downloadqueue.h"
#include "download/ui/ffiledownload.h"
#include "foundation/ui/qtprompts.h"
#include "search/searchsession.h"
#include "support/scriptedhttpserver.h"
#include "tools/savepathvalues.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

class FixedPicker : public SaveFolderPicker
{
public:
    void showModal(SavePathValues &) override {}
};

QByteArray pdf(int size)
{
    QByteArray body("%PDF-1.4\n");
    while (body.size() < size)
        body += "0 0 612 792 re f\n";
    body.truncate(size);
    // A whole PDF ends with its end marker.
    return body.left(size - 7) + "\n%%EOF\n";
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does: Chromium refuses its sandbox as root (CI, containers).
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(appTitle());
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = app.arguments();
    const auto value = [&](const QString &flag) {
        const qsizetype at = args.indexOf(flag);
        return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
    };

    QTemporaryDir folder(QDir::tempPath() + u"/papers-XXXXXX"_s);
    ScriptedHttpServer server;
    struct Item
    {
        const char16_t *title;
        QByteArray path;
        QByteArray body;
        QByteArray type;
    };
    const QByteArray png =
        QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray(3000, 'x');
    const QByteArray login =
        "<html><head><title>Login</title></head><body>"
        "<form><input name=user><input name=pass type=password></form></body></html>";
    const Item items[] = {
        {u"近世日本における書物の流通と読者", "/a/1", pdf(412000), "application/pdf"},
        {u"明治期の翻訳語と科学教育", "/a/2", pdf(188500), "application/octet-stream"},
        {u"昭和初期の都市計画と住宅政策", "/a/3", pdf(96300), "application/pdf"},
        {u"江戸時代の出版文化に関する一考察", "/a/4", png, "application/pdf"},
        {u"古代中国の暦法と天文観測", "/a/5", pdf(253900), "application/pdf"},
        {u"図書館目録の電子化と検索利用", "/a/6", login, "text/html; charset=UTF-8"},
        {u"中世寺院の経済基盤について", "/a/7", pdf(77700), "application/pdf"},
        {u"戦後日本の学術雑誌と査読制度", "/a/8", pdf(331000), "application/pdf"},
        {u"方言調査資料の整理と公開", "/missing/9", {}, {}},
        {u"漢籍の受容と注釈の歴史", "/a/10", pdf(142000), "application/pdf"},
    };
    for (const Item &item : items)
        if (!item.body.isEmpty())
            server.serveBody(QString::fromLatin1(item.path), item.body, item.type);
    // A paper the site no longer has: its error page is no file.
    server.route(u"/a/11"_s, Script::response(404, "<h1>Not Found</h1>", "text/html"));
    // A busy repository on another host: "too many requests" at first.
    ScriptedHttpServer busy(u"127.0.0.2"_s);
    int refused = 0;
    const QByteArray busyPaper = pdf(98000);
    busy.routeHandler(u"/b"_s, [&refused, busyPaper](const RecordedRequest &) {
        if (refused++ < 2)
            return Script::response(429, "Too Many Requests", "text/plain", {"Retry-After: 20"});
        return Script::response(200, busyPaper, "application/pdf");
    });

    // The members' site: a login form, and a paper only for a session that logged in.
    const QByteArray loginPage =
        "<html><head><meta charset=utf-8><title>会員ログイン</title></head><body>"
        "<h3>会員ログイン</h3><form method=post action=/members/session>"
        "<p>ID <input name=UserName> パスワード <input name=PassWord type=password>"
        " <input type=submit value=ログイン></p></form></body></html>";
    server.serveBody(u"/members/login"_s, loginPage, "text/html; charset=UTF-8");
    server.routeHandler(u"/members/session"_s, [](const RecordedRequest &r) {
        if (r.body != "UserName=demo&PassWord=demo")
            return Script::response(200, "<html><head><title>ログイン失敗</title></head></html>",
                                    "text/html; charset=UTF-8");
        return Script::response(200,
                                "<html><head><meta charset=utf-8><title>ログインしました</title>"
                                "</head><body>ようこそ</body></html>",
                                "text/html; charset=UTF-8",
                                {"Set-Cookie: member=1; Path=/members"});
    });
    const QByteArray members = pdf(120500);
    server.routeHandler(u"/members/paper"_s, [loginPage, members](const RecordedRequest &r) {
        return r.header("Cookie").contains("member=1")
                   ? Script::response(200, members, "application/pdf")
                   : Script::response(200, loginPage, "text/html; charset=UTF-8");
    });
    const QString loginUrl = server.url(u"/members/login"_s);
    QTextStream(stdout) << "login " << loginUrl << Qt::endl;

    ProgramWindows windows;
    SavePathValues values;
    values.CurrentSaveFolder = folder.path() + u"/文献/"_s;
    FixedPicker picker;
    QtPrompts prompts;
    SearchSession session(nullptr, values, prompts, picker, windows);
    // A path the server does not serve stands for a host that cannot be reached.
    for (const Item &item : items) {
        const QString path = QString::fromLatin1(item.path);
        session.加入下载列表(
            item.body.isEmpty() ? ScriptedHttpServer::closedPortUrl(path) : server.url(path),
            QString::fromUtf16(item.title), u"PDF"_s, {}, server.url(u"/search?q=1"_s));
    }
    session.加入下载列表(server.url(u"/members/paper"_s), u"会員限定の研究報告"_s, u"PDF"_s, {},
                         server.url(u"/search?q=1"_s));
    session.加入下载列表(server.url(u"/a/11"_s), u"撤回された論文"_s, u"PDF"_s, {},
                         server.url(u"/search?q=1"_s));
    // A landing page that names its PDF for indexers.
    server.serveBody(u"/records/12"_s,
                     "<html><head><meta charset=utf-8><title>湿地の窒素循環</title>"
                     "<meta name=citation_pdf_url content=/records/12/files/paper.pdf></head>"
                     "<body>湿地の窒素循環</body></html>",
                     "text/html; charset=UTF-8");
    server.serveBody(u"/records/12/files/paper.pdf"_s, pdf(98000), "application/pdf");
    session.加入下载列表(server.url(u"/records/12"_s), u"湿地における窒素循環の季節変化"_s,
                         u"LINK"_s, {}, server.url(u"/search?q=1"_s));
    session.加入下载列表(busy.url(u"/b?1"_s), u"大学紀要の電子公開と利用統計"_s, u"PDF"_s, {},
                         server.url(u"/search?q=1"_s));
    session.加入下载列表(busy.url(u"/b?2"_s), u"機関リポジトリの運用と課題"_s, u"PDF"_s, {},
                         server.url(u"/search?q=1"_s));
    session.显示下载窗口(true);
    FFileDownload *window = windows.downloadWindow();
    // The "来源页面" and "原因" columns, as the header's menu shows them.
    if (args.contains(u"--reasons"_s))
        window->findChild<QAction *>(u"menu显示原因列"_s)->setChecked(true);
    if (args.contains(u"--panel"_s)) {
        window->findChild<QLineEdit *>(u"Text1"_s)->setText(loginUrl);
        window->findChild<QPushButton *>(u"Command1"_s)->click();
        QTimer::singleShot(0, window,
                           [window] { window->findChild<QPushButton *>(u"Command2"_s)->click(); });
    }
    if (args.contains(u"--start"_s))
        window->findChild<QPushButton *>(u"Command4"_s)->click();

    const QString restShot = value(u"--rest-shot"_s);
    QTimer restPoll;
    QObject::connect(&restPoll, &QTimer::timeout, [&] {
        if (!windows.downloadWindow())
            return;
        const DownloadQueue &queue = window->queue();
        for (int p = 1; p <= queue.count(); ++p) {
            if (queue.row(p).Percent.startsWith(u"等待重试"_s)
                && window->statusPanelText(3).contains(u"127.0.0.2"_s)) {
                restPoll.stop();
                // A few seconds of the count-down first.
                QTimer::singleShot(3000, [&] { window->grab().save(restShot); });
                return;
            }
        }
    });
    if (!restShot.isEmpty())
        restPoll.start(200);

    const QString shot = value(u"--shot"_s);
    const bool quit = args.contains(u"--quit"_s);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!windows.downloadWindow() || !window->queue().检测是否下载列表完毕())
            return;
        poll.stop();
        QTextStream(stdout) << "finished " << folder.path() << Qt::endl;
        // One more housekeeping tick, so that the counts and the marker show the end.
        QTimer::singleShot(1500, [&] {
            if (!shot.isEmpty() && windows.downloadWindow())
                window->grab().save(shot);
            if (quit)
                QApplication::quit();
        });
    });
    if (args.contains(u"--start"_s))
        poll.start(200);
    return app.exec();
}
