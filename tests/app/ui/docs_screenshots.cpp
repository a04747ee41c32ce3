// The pictures in docs/: both main windows at their minimum size, and the batch log after three
// keywords walked on the local stand-in for the service. Run from the build folder:
//
//   QT_QPA_PLATFORM=offscreen tests/app/docs_screenshots ../docs
//
// The settings are a temporary copy; nothing of the user's is touched.
#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "browser/ui/webenginebrowser.h"
#include "download/ui/ffiledownload.h"
#include "foundation/settings.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "search/ui/fwebsearch.h"
#include "support/fixturesite.h"
#include "support/main_common.h"
#include "support/profiles.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTextStream>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

bool save(QWidget *window, const QString &path)
{
    QApplication::processEvents();
    const bool saved = window->grab().save(path);
    QTextStream(saved ? stdout : stderr) << (saved ? "saved " : "not saved ") << path << Qt::endl;
    return saved;
}

bool atMinimumSize(QWidget *window, const QString &path)
{
    window->showNormal();
    window->resize(window->minimumSize());
    if (!QTest::qWaitFor([window] { return window->size() == window->minimumSize(); }, 5000))
        return false;
    return save(window, path);
}

} // namespace

int main(int argc, char **argv)
{
    prepareTestEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"澄川文献管家"_s);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: docs_screenshots <folder>" << Qt::endl;
        return 2;
    }
    const QDir docs(args[1]);

    TempSettings settings;
    SaveSetting(setting::ServiceProfileId, u"cinii-research"_s);
    SaveSetting(setting::PromptSavePathOnExtract, 0);
    const ServiceProfile &profile = builtInProfile(u"cinii-research"_s);
    FixtureSite site;
    site.routeKeyword(u"marsh"_s, u"cir/other1.html"_s, profile);
    site.routeKeyword(u"peat"_s, u"blocked.html"_s, profile);
    RecordingPrompts prompts;
    ProgramWindows windows(&prompts);
    windows.cover()->load();
    windows.showSearchWindow();
    FWebSearch *search = windows.searchWindow();
    WebEngineBrowser *browser = search->browser();
    if (!QTest::qWaitFor(
            [&] { return browser->URL() == ServiceHomePage(profile) && !browser->Busy(); }, 20000))
        return 1;

    search->findChild<QComboBox *>(u"Combo1"_s)->setCurrentText(u"0"_s);
    search->findChild<QPlainTextEdit *>(u"Text1"_s)->setPlainText(u"wetland\nmarsh\npeat"_s);
    search->findChild<QPushButton *>(u"Command1"_s)->click(); // returns when the batch ends
    search->resize(1100, 720);
    search->findChild<QSplitter *>(u"PicBar"_s)->setSizes({260, 380}); // room for every line
    bool ok = save(search->findChild<QGroupBox *>(u"Frame1"_s)->parentWidget(),
                   docs.filePath(u"batch-log.png"_s));

    ok = atMinimumSize(search, docs.filePath(u"search-window-min.png"_s)) && ok;
    windows.showDownloadWindow();
    ok = atMinimumSize(windows.downloadWindow(), docs.filePath(u"download-window-min.png"_s)) && ok;
    return ok ? 0 : 1;
}
