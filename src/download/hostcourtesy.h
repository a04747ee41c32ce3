#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace papyrant {

// The host a download goes to, as the courtesy rules count it: the host name of the address in
// small letters, without the port (a site that serves on two ports is still one site to spare).
// Empty for an address without a host.
QString HostKey(const QString &url);

// The wait a Retry-After value asks for, in whole seconds from nowUtc: delta seconds, or an HTTP
// date (IMF-fixdate, RFC 850 or asctime; a date past gives 0). None for a missing or unreadable
// value.
std::optional<qint64> RetryAfterSeconds(const QByteArray &value, const QDateTime &nowUtc);

// An answer that asks the client to slow down (429 Too Many Requests, 503 Service Unavailable).
inline bool IsThrottleStatus(int status)
{
    return status == 429 || status == 503;
}

// The rests of the hosts that answered "too many requests": while a host rests no download to
// it starts. A host rests as long as its Retry-After says; without one it backs off, doubling
// from the first back-off up to the longest with every further refusal in a row. A file that
// comes whole from the host starts the back-off from the beginning again.
class HostCourtesy
{
public:
    // Tests shorten them.
    int firstBackoffSeconds = 30;
    int longestBackoffSeconds = 600;

    // The host refused a download; returns the seconds it now rests. now is on the session's
    // clock, nowUtc reads an HTTP date.
    qint64 refused(const QString &host, const QByteArray &retryAfter, double now,
                   const QDateTime &nowUtc);
    void served(const QString &host);

    bool isResting(const QString &host, double now) const;
    // Whole seconds left of the host's rest (rounded up); 0 when it does not rest.
    qint64 secondsLeft(const QString &host, double now) const;
    // The hosts that rest now, in the order of their names.
    QStringList restingHosts(double now) const;

private:
    struct Rest
    {
        double until = 0;
        int refusals = 0; // in a row, since the last file the host served
    };
    QHash<QString, Rest> m_hosts;
};

} // namespace papyrant
