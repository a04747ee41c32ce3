// The download window as a person meets it: rows handed over the way the search window hands
// them, fetched from a local server by the real scheduler, sniffed and renamed.
//
//   download_window_demo [--start] [--shot file.png] [--quit]
//
// --start clicks "开始下载"; --shot saves a picture of the window once every row has ended;
// --quit ends the program then. Without --quit the window stays for a walk through it. Run it
// with its own XDG_CONFIG_HOME so that it does not share settings.
#include "app/ui/programwindows.h"
#include "download/downloadqueue.h"
#include "download/ui/ffiledownload.h"
#include "foundation/ui/qtprompts.h"
#include "search/searchsession.h"
#include "support/scriptedhttpserver.h"
#include "tools/savepathvalues.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

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
    return body.left(size);
}

} // namespace

int main(int argc, char **argv)
{
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
    struct Item { const char16_t *title; QByteArray path; QByteArray body; QByteArray type; };
    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray(3000, 'x');
    const QByteArray login = "<html><head><title>Login</title></head><body>"
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

    ProgramWindows windows;
    SavePathValues values;
    values.CurrentSaveFolder = folder.path() + u"/文献/"_s;
    FixedPicker picker;
    QtPrompts prompts;
    SearchSession session(nullptr, values, prompts, picker, windows);
    // A path the server does not serve stands for a host that cannot be reached.
    for (const Item &item : items) {
        const QString path = QString::fromLatin1(item.path);
        session.加入下载列表(item.body.isEmpty() ? ScriptedHttpServer::closedPortUrl(path) : server.url(path),
                         QString::fromUtf16(item.title), u"PDF"_s, {}, server.url(u"/search?q=1"_s));
    }
    session.显示下载窗口(true);
    FFileDownload *window = windows.downloadWindow();
    if (args.contains(u"--start"_s))
        window->findChild<QPushButton *>(u"Command4"_s)->click();

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
