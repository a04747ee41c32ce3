#include "app/ui/startup.h"

#include "app/ui/fcover.h"
#include "foundation/prompts.h"

#include <QApplication>
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
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void prepareApplication()
{
    QCoreApplication::setApplicationName(appTitle());
    QApplication::setWindowIcon(programIcon());
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace papyrant
