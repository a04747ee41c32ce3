#include "download/hostcourtesy.h"

#include <QLocale>
#include <QTimeZone>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace papyrant {

namespace {

// A server's wish beyond a day is taken as a day: the row still comes back within the session.
constexpr qint64 LongestHonouredSeconds = 24 * 60 * 60;

std::optional<QDateTime> httpDate(const QString &text)
{
    const QLocale c = QLocale::c();
    // The day's name adds nothing (and Qt would check it against a two-digit year's century).
    QString simple = text.simplified();
    const qsizetype comma = simple.indexOf(u',');
    simple = comma >= 0 ? simple.mid(comma + 1).trimmed() : simple.section(u' ', 1);
    // IMF-fixdate, the obsolete RFC 850 form and asctime, in that order.
    QDateTime date = c.toDateTime(simple, QStringLiteral("dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!date.isValid()) {
        date = c.toDateTime(simple, QStringLiteral("dd-MMM-yy HH:mm:ss 'GMT'"));
        // Two digits name the year within the last hundred.
        if (date.isValid() && date.date().year() < 1970)
            date = date.addYears(100);
    }
    if (!date.isValid())
        date = c.toDateTime(simple, QStringLiteral("MMM d HH:mm:ss yyyy"));
    if (!date.isValid())
        return std::nullopt;
    date.setTimeZone(QTimeZone::utc());
    return date;
}

} // namespace

QString HostKey(const QString &url)
{
    return QUrl(url.trimmed()).host().toLower();
}

std::optional<qint64> RetryAfterSeconds(const QByteArray &value, const QDateTime &nowUtc)
{
    const QString text = QString::fromLatin1(value).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; })) {
        // A number too long for any clock is a long wait, not a fault.
        if (text.size() > 9)
            return LongestHonouredSeconds;
        return std::min(text.toLongLong(), LongestHonouredSeconds);
    }
    const std::optional<QDateTime> date = httpDate(text);
    if (!date)
        return std::nullopt;
    const qint64 ms = nowUtc.msecsTo(*date);
    if (ms <= 0)
        return 0;
    return std::min((ms + 999) / 1000, LongestHonouredSeconds);
}

qint64 HostCourtesy::refused(const QString &host, const QByteArray &retryAfter, double now,
                             const QDateTime &nowUtc)
{
    Rest &rest = m_hosts[host];
    ++rest.refusals;
    qint64 seconds = 0;
    if (const std::optional<qint64> asked = RetryAfterSeconds(retryAfter, nowUtc)) {
        seconds = *asked;
    } else {
        const int doublings = std::min(rest.refusals - 1, 30);
        seconds = std::min<qint64>(qint64(firstBackoffSeconds) << doublings,
                                   std::max(longestBackoffSeconds, 0));
    }
    rest.until = std::max(rest.until, now + double(seconds));
    return seconds;
}

void HostCourtesy::served(const QString &host)
{
    m_hosts.remove(host);
}

bool HostCourtesy::isResting(const QString &host, double now) const
{
    const auto it = m_hosts.constFind(host);
    return it != m_hosts.constEnd() && it->until > now;
}

qint64 HostCourtesy::secondsLeft(const QString &host, double now) const
{
    const auto it = m_hosts.constFind(host);
    if (it == m_hosts.constEnd() || !(it->until > now))
        return 0;
    return qint64(std::ceil(it->until - now));
}

QStringList HostCourtesy::restingHosts(double now) const
{
    QStringList hosts;
    for (auto it = m_hosts.constBegin(); it != m_hosts.constEnd(); ++it)
        if (it->until > now)
            hosts << it.key();
    hosts.sort();
    return hosts;
}

} // namespace papyrant
