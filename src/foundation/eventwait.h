#pragma once

#include <QEventLoop>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <functional>

namespace papyrant {

// Waits in a nested event loop until a condition holds or a time limit passes. The loop sleeps
// between events: it wakes on the signals named with wakeOn(), on its time limit and, when set,
// on a slow poll for states that have no signal of their own. It never spins.
class EventWait
{
public:
    explicit EventWait(std::function<bool()> done) : m_done(std::move(done)) {}
    ~EventWait()
    {
        for (const QMetaObject::Connection &c : m_connections)
            QObject::disconnect(c);
    }
    EventWait(const EventWait &) = delete;
    EventWait &operator=(const EventWait &) = delete;

    template<typename Sender, typename Signal>
    EventWait &wakeOn(const Sender *sender, Signal signal)
    {
        if (sender)
            m_connections << QObject::connect(sender, signal, &m_loop, [this] { check(); });
        return *this;
    }
    // Ends the wait when the object goes: the waiting code must not go on using it.
    EventWait &endOnDestroyed(const QObject *object)
    {
        if (object)
            m_connections << QObject::connect(object, &QObject::destroyed, &m_loop,
                                              [this] { m_loop.quit(); });
        return *this;
    }
    // Re-tests the condition every intervalMs as well (0: never).
    EventWait &poll(int intervalMs)
    {
        m_pollMs = intervalMs;
        return *this;
    }

    // True when the condition held, false when the time limit (ms; negative: none) passed first.
    bool run(int timeoutMs)
    {
        if (m_done())
            return true;
        QTimer limit;
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        bool timedOut = false;
        if (timeoutMs >= 0) {
            QObject::connect(&limit, &QTimer::timeout, &m_loop, [&] {
                timedOut = true;
                m_loop.quit();
            });
            limit.start(timeoutMs);
        }
        QTimer poller;
        if (m_pollMs > 0) {
            QObject::connect(&poller, &QTimer::timeout, &m_loop, [this] { check(); });
            poller.start(m_pollMs);
        }
        m_loop.exec();
        return !timedOut || m_done();
    }

private:
    void check()
    {
        if (m_done())
            m_loop.quit();
    }

    std::function<bool()> m_done;
    QEventLoop m_loop;
    QList<QMetaObject::Connection> m_connections;
    int m_pollMs = 0;
};

} // namespace papyrant
