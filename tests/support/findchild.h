#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>

namespace papyrant::test {

// The control of a window by its object name, as a user finds it by its caption; a missing one
// fails the test by name instead of crashing it.
template<typename T> T *child(const QObject *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    EXPECT_TRUE(found) << name.toStdString();
    return found;
}

} // namespace papyrant::test
