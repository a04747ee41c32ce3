#include "support/main_common.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    papyrant::test::prepareTestEnvironment();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("澄川文献管家"));
    ::testing::InitGoogleTest(&argc, argv);
    return papyrant::test::runAllTests();
}
