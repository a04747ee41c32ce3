#include "app/ui/startup.h"

#include "app/ui/fcover.h"
#include "foundation/prompts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace papyrant {

void prepareProcess()
{
    // Chromium refuses to start its sandbox as root; only then is it switched off.
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qWarning("Running as root: the embedded browser's sandbox is switched off.");
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif
    // The windows are widgets and the pages plain documents: drawn in software, the program
    // never loads the GL driver (with its shader compiler some 70 MB) and starts sooner. Each
    // variable set by the user wins.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) {
        qputenv("QT_QUICK_BACKEND", "software");
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--disable-gpu"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray(flags + " --disable-gpu").trimmed());
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
        // The engine then reports its GL set-up at every start, meant for finding driver
        // faults; with GL off on purpose it is only noise on the terminal.
        if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
            qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void prepareApplication()
{
    QCoreApplication::setApplicationName(appTitle());
    QApplication::setWindowIcon(programIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    // The interface is Chinese whatever the locale: Qt's own texts (the buttons of a question,
    // the file dialogs, the browser's context menu) and the dialogs' dates follow it.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *catalogue : {"qtbase_zh_CN", "qtwebengine_zh_CN"}) {
        auto *translator = new QTranslator(qApp);
        if (translator->load(QString::fromLatin1(catalogue), translations))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

} // namespace papyrant
