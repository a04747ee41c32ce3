#include "download/hostcourtesy.h"

#include <QTimeZone>
#include <gtest/gtest.h>
#include <optional>

using namespace papyrant;

namespace {

QDateTime noon()
{
    return QDateTime(QDate(2026, 12, 10), QTime(12, 0, 0), QTimeZone::utc());
}

} // namespace

TEST(HostCourtesy, RetryAfterValues)
{
    const struct
    {
        const char *value;
        std::optional<qint64> seconds;
    } cases[] = {
        {"3", 3},
        {" 120 ", 120},
        {"0", 0},
        {"99999999999999999999", 86400}, // beyond any clock: a day
        {"Thu, 10 Dec 2026 12:01:30 GMT", 90},
        {"Thursday, 10-Dec-26 12:00:05 GMT", 5},
        {"Thu Dec 10 12:00:07 2026", 7},
        {"Thu, 10 Dec 2026 11:00:00 GMT", 0}, // a date past: no wait
        {"", std::nullopt},
        {"soon", std::nullopt},
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {"Thu, 32 Dec 2026 12:00:00 GMT", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RetryAfterSeconds(QByteArray(c.value), noon()), c.seconds);
    }
}

TEST(HostCourtesy, HostKeyIgnoresPortAndLetterCase)
{
    EXPECT_EQ(HostKey(QStringLiteral("http://Repo.Example.ORG:8080/a.pdf")),
              QStringLiteral("repo.example.org"));
    EXPECT_EQ(HostKey(QStringLiteral("https://repo.example.org/b")),
              QStringLiteral("repo.example.org"));
    EXPECT_EQ(HostKey(QStringLiteral("not an address")), QString());
}

// Without a Retry-After the host backs off doubling up to the longest wait; the server's own
// value wins; a file served starts the back-off again; other hosts are not touched.
TEST(HostCourtesy, BackOffDoublesPerHostUntilAFileComes)
{
    HostCourtesy courtesy;
    const QString a = QStringLiteral("a.example"), b = QStringLiteral("b.example");
    double now = 1000;
    QList<qint64> waits;
    for (int i = 0; i < 7; ++i)
        waits << courtesy.refused(a, {}, now, noon());
    EXPECT_EQ(waits, (QList<qint64>{30, 60, 120, 240, 480, 600, 600}));
    EXPECT_TRUE(courtesy.isResting(a, now + 599));
    EXPECT_EQ(courtesy.secondsLeft(a, now + 599.5), 1);
    EXPECT_FALSE(courtesy.isResting(a, now + 600));
    EXPECT_FALSE(courtesy.isResting(b, now));

    EXPECT_EQ(courtesy.refused(b, "3", now, noon()), 3);
    EXPECT_EQ(courtesy.restingHosts(now + 1), (QStringList{a, b}));
    EXPECT_EQ(courtesy.restingHosts(now + 3), QStringList{a});

    courtesy.served(a);
    EXPECT_FALSE(courtesy.isResting(a, now));
    EXPECT_EQ(courtesy.refused(a, "garbage", now, noon()), 30);
}

TEST(HostCourtesy, BackOffIsInjectable)
{
    HostCourtesy courtesy;
    courtesy.firstBackoffSeconds = 1;
    courtesy.longestBackoffSeconds = 3;
    const QString a = QStringLiteral("a");
    EXPECT_EQ(courtesy.refused(a, {}, 0, noon()), 1);
    EXPECT_EQ(courtesy.refused(a, {}, 0, noon()), 2);
    EXPECT_EQ(courtesy.refused(a, {}, 0, noon()), 3);
}
