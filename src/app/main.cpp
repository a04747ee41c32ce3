#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "foundation/prompts.h"

#include <QApplication>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

int main(int argc, char **argv)
{
    // Chromium refuses to start its sandbox as root; only then is it switched off.
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qWarning("Running as root: the embedded browser's sandbox is switched off.");
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(papyrant::appTitle());
    QApplication::setQuitOnLastWindowClosed(false);

    papyrant::ProgramWindows windows;
    windows.cover()->show();
    return app.exec();
}
