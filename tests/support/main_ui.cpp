#include "support/main_common.h"

#include <QApplication>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    papyrant::test::prepareTestEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("澄川文献管家"));
    ::testing::InitGoogleTest(&argc, argv);
    return papyrant::test::runAllTests();
}
