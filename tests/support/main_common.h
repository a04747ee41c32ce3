#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QStandardPaths>
#include <QtGlobal>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define PAPYRANT_TEST_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAPYRANT_TEST_LEAK_CHECK 1
#endif
#endif

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

// Runs the tests. Under the leak checker the process then lets the event loops finish what the
// last test left them: a transfer dropped as its test ended is aborted, deleted later, and
// cleaned up by Qt's network thread through queued calls; ended at once, the process would
// leave those objects allocated and the checker would report them as a leak of the test.
inline int runAllTests()
{
    const int result = RUN_ALL_TESTS();
#ifdef PAPYRANT_TEST_LEAK_CHECK
    const QDeadlineTimer drain(300);
    while (!drain.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
#endif
    return result;
}

} // namespace papyrant::test
