#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "app/ui/startup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    papyrant::prepareProcess();
    QApplication app(argc, argv);
    papyrant::prepareApplication();

    papyrant::ProgramWindows windows;
    windows.cover()->load();
    windows.startSession(papyrant::ProgramWindows::defaultSessionFolder());
    return app.exec();
}
