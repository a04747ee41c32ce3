// labels: unit
#include "app/browseremulation.h"
#include "foundation/registry.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

// A registry of numbers in memory that counts its writes and deletions.
class MemoryRegistry : public Registry
{
public:
    QHash<QString, quint32> numbers; // key path + "|" + value name
    int writes = 0, deletions = 0;

    QString readText(const QString &, const QString &, bool) override
    {
        return RegistryError.toString();
    }
    QString readNumber(const QString &key, const QString &name, bool) override
    {
        const auto it = numbers.constFind(key + u'|' + name);
        return it == numbers.cend() ? RegistryError.toString() : QString::number(*it);
    }
    bool writeNumber(const QString &key, const QString &name, quint32 number) override
    {
        ++writes;
        numbers.insert(key + u'|' + name, number);
        return true;
    }
    void deleteValue(const QString &root, const QString &subKey, const QString &name) override
    {
        ++deletions;
        numbers.remove(root + u'\\' + subKey + u'|' + name);
    }
};

struct UseRegistry
{
    explicit UseRegistry(Registry &r) { setSystemRegistryForTesting(&r); }
    ~UseRegistry() { setSystemRegistryForTesting(nullptr); }
};

} // namespace

TEST(BrowserEmulation, ValuesByVersionName)
{
    const struct
    {
        const char *name;
        bool force;
        quint32 value;
    } cases[] = {
        {"IE10", true, 10001}, {"ie10", false, 10000}, {"IE9", true, 9999}, {"IE9", false, 9000},
        {"IE8", true, 8888},   {"IE8", false, 8000},   {"IE7", true, 7000}, {"IE7", false, 7000},
        {"IE11", true, 0},     {"", false, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BrowserEmulationValue(QString::fromLatin1(c.name), c.force), c.value) << c.name;
}

TEST(BrowserEmulation, WritesOnlyAChangeAndDeletesForAnUnknownName)
{
    MemoryRegistry registry;
    UseRegistry use(registry);
    SetBrowserEmulation(u"IE10"_s, true);
    ASSERT_EQ(registry.writes, 1);
    ASSERT_EQ(registry.numbers.size(), 1);
    const QString entry = registry.numbers.keys().first();
    EXPECT_TRUE(entry.startsWith(BrowserEmulationKey.toString() + u'|'));
    EXPECT_TRUE(entry.endsWith(u".exe"_s));
    EXPECT_EQ(registry.numbers.value(entry), 10001u);

    SetBrowserEmulation(u"IE10"_s, true); // already 10001: no write
    EXPECT_EQ(registry.writes, 1);
    SetBrowserEmulation(u"IE9"_s, false);
    EXPECT_EQ(registry.writes, 2);
    EXPECT_EQ(registry.numbers.value(entry), 9000u);

    SetBrowserEmulation(u"Chrome"_s, true);
    EXPECT_EQ(registry.deletions, 1);
    EXPECT_TRUE(registry.numbers.isEmpty());
    EXPECT_EQ(registry.writes, 2);
}
