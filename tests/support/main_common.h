#pragma once

#include <QByteArray>
#include <QStandardPaths>
#include <QtGlobal>

namespace papyrant::test {

// Every test process runs headless and keeps its settings and data away from the user's own:
// test mode moves QStandardPaths (and with it QSettings) under ~/.qttest.
inline void prepareTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    QStandardPaths::setTestModeEnabled(true);
}

} // namespace papyrant::test
