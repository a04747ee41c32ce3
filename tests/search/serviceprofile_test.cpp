// labels: unit
#include "search/serviceprofile.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST(ServiceProfiles, TheBuiltInOnes)
{
    const QList<ServiceProfile> &builtIn = BuiltInServiceProfiles();
    ASSERT_EQ(builtIn.size(), 2);
    const ServiceProfiles profiles{builtIn, {}};
    const ServiceProfile &today = profiles.chosen({}); // a new install
    EXPECT_EQ(today.id, DefaultServiceProfileId());
    EXPECT_EQ(today.name, u"CiNii Research"_s);
    EXPECT_EQ(today.rowType, u"LINK"_s);
    EXPECT_EQ(today.next.kind, ServiceProfile::NextRule::PageParameter);
    EXPECT_EQ(today.blocked.statuses, QList<int>({403, 429, 503}));
    ASSERT_TRUE(today.api);
    EXPECT_TRUE(today.api->appidRequired);
    EXPECT_TRUE(today.api->openSearch.startsWith(u"/opensearch/"_s));
    EXPECT_EQ(&profiles.chosen(u"no such service"_s), &today);

    const ServiceProfile *old = profiles.find(u"cinii-articles"_s);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->name, u"CiNii Articles（旧版页面）"_s);
    EXPECT_FALSE(old->reportEmptyPages); // the old pages end quietly
    EXPECT_FALSE(old->api);
    EXPECT_EQ(old->next.kind, ServiceProfile::NextRule::Link);
}

TEST(ServiceProfiles, AFileInTheSettingsFolderChangesAndAddsProfiles)
{
    QTemporaryDir folder;
    EXPECT_TRUE(LoadServiceProfiles(folder.path()).error.isEmpty()); // no file: the built-ins
    EXPECT_EQ(LoadServiceProfiles(folder.path()).profiles.size(), 2);

    write(folder.filePath(ServiceProfileFileName()), R"({
        "profiles": [
            {"id": "cinii-research", "entry": {"classWords": ["resultitem"]}, "comment": 1},
            {"id": "mirror", "name": "A mirror", "base": "http://mirror.test/",
             "search": "/s?q={keyword}", "entry": {"classEquals": "hit"},
             "fullText": {"linkTexts": ["PDF", ["Open", "Access"]]},
             "next": {"rule": "relNext"}}
        ]
    })");
    const ServiceProfiles profiles = LoadServiceProfiles(folder.path());
    EXPECT_TRUE(profiles.error.isEmpty()) << profiles.error.toStdString();
    ASSERT_EQ(profiles.profiles.size(), 3);
    const ServiceProfile *today = profiles.find(u"cinii-research"_s);
    ASSERT_TRUE(today);
    // Only the key given changed; the rest of the entry rule and the profile are the built-in.
    EXPECT_EQ(today->entry.classWords, QStringList({u"resultitem"_s}));
    EXPECT_EQ(today->entry.tag, u"DIV"_s);
    EXPECT_EQ(today->name, u"CiNii Research"_s);
    EXPECT_EQ(today->fullText.classWords, QStringList({u"availableLink"_s}));
    const ServiceProfile *mirror = profiles.find(u"mirror"_s);
    ASSERT_TRUE(mirror);
    EXPECT_EQ(mirror->base, u"http://mirror.test"_s);
    EXPECT_EQ(mirror->home, u"/"_s);
    EXPECT_EQ(mirror->rowType, u"PDF"_s);
    EXPECT_EQ(mirror->fullText.linkTexts,
              QList<QStringList>({{u"PDF"_s}, {u"Open"_s, u"Access"_s}}));
    EXPECT_TRUE(mirror->fullText.textQualifies(u"open access"_s));
    EXPECT_FALSE(mirror->fullText.textQualifies(u"Open"_s));
}

TEST(ServiceProfiles, TheSiteAddressIsKeptInOneFormOrRefused)
{
    // Everything joins the base with a path, so it is stored as scheme://host[:port] and nothing
    // else; whatever cannot be put so is a fault of the file.
    const struct
    {
        const char *base;
        const char *stored; // empty: refused
    } cases[] = {
        {"http://mirror.test/", "http://mirror.test"},
        {"HTTPS://Mirror.Test:8443", "https://mirror.test:8443"},
        {"https://mirror.test?q=1", ""},
        {"https://mirror.test#top", ""},
        {"https://user@mirror.test", ""},
        {"https://mirror.test/cir", ""},
        {"ftp://mirror.test", ""},
        {" https://mirror.test ", "https://mirror.test"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.base);
        const QByteArray json =
            R"({"profiles": [{"id": "cinii-research", "base": ")" + QByteArray(c.base) + "\"}]}";
        const ServiceProfiles read = ReadServiceProfiles(BuiltInServiceProfileFile(), json, {});
        const ServiceProfile *m = read.find(u"cinii-research"_s);
        ASSERT_TRUE(m);
        if (*c.stored) {
            EXPECT_TRUE(read.error.isEmpty()) << read.error.toStdString();
            EXPECT_EQ(m->base, QString::fromLatin1(c.stored));
        } else {
            EXPECT_EQ(m->base, u"https://cir.nii.ac.jp"_s); // the built-in stays
            EXPECT_TRUE(read.error.contains(u"“profiles[0].base”"_s)) << read.error.toStdString();
        }
    }
}

TEST(ServiceProfiles, AFaultyFileIsLeftOutAndNamedWithItsLine)
{
    struct Case
    {
        const char *what;
        QByteArray json;
        int line;
        QString says;
    } cases[] = {
        {"not JSON", "{\n \"profiles\": [\n {\"id\": \"a\"}\n {\"id\": \"b\"}\n ]\n}", 4,
         u"不是正确的 JSON"_s},
        {"a text where a list belongs",
         "{\"profiles\": [\n  {\"id\": \"cinii-research\",\n   \"entry\": {\n"
         "     \"classWords\": \"listitem\"}}]}",
         4, u"“profiles[0].entry.classWords”应为文字列表"_s},
        {"a new profile without its address",
         "{\"profiles\": [\n {\"id\": \"new\",\n  \"name\": \"New\"}\n]}", 2,
         u"“profiles[0].base”缺少必填的文字"_s},
        {"an unknown next-page rule",
         "{\"profiles\": [{\"id\": \"cinii-articles\",\n \"next\": {\n  \"rule\": \"click\"}}]}", 3,
         u"“profiles[0].next.rule”应为 link、relNext 或 pageParameter"_s},
        {"a status as text",
         "{\"profiles\": [{\"id\": \"cinii-research\", \"blocked\": {\"statuses\": "
         "[\n429,\n\"503\"]}}]}",
         3, u"“profiles[0].blocked.statuses[1]”应为100到599的HTTP状态码"_s},
        {"a row type that is no file extension",
         "{\"profiles\": [{\"id\": \"cinii-research\",\n\"rowType\": \"../x\"}]}", 2,
         u"“profiles[0].rowType”"_s},
        {"a search address without its keyword",
         "{\"profiles\": [{\"id\": \"cinii-research\", \"search\": \"/all?q=x\"}]}", 1,
         u"“profiles[0].search”"_s},
        {"the same id twice",
         "{\"profiles\": [{\"id\": \"cinii-research\"},\n{\"id\": \"cinii-research\"}]}", 2,
         u"“profiles[1].id”与前面的配置重复"_s},
        {"a list at the top", "[]", 1, u"应为一个对象"_s},
        {"a later format", "{\"format\": 2, \"profiles\": []}", 1, u"只认格式 1"_s},
        {"a marker's class word without its tag",
         "{\"profiles\": [{\"id\": \"cinii-research\",\n \"resultList\": [\n  {\"classWord\": "
         "\"result_list\"}]}]}",
         3, u"“profiles[0].resultList[0].classWord”须同时给出 tag"_s},
        {"an empty marker", "{\"profiles\": [{\"id\": \"cinii-research\",\n \"noResults\": [{}]}]}",
         2, u"“profiles[0].noResults[0]”至少要有一项检验"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ServiceProfiles profiles =
            ReadServiceProfiles(BuiltInServiceProfileFile(), c.json, u"/home/u/p.json"_s);
        EXPECT_TRUE(profiles.error.startsWith(u"检索服务配置文件 /home/u/p.json 有误，"_s))
            << profiles.error.toStdString();
        EXPECT_TRUE(profiles.error.contains(u"第 %1 行："_s.arg(c.line)))
            << profiles.error.toStdString();
        EXPECT_TRUE(profiles.error.contains(c.says)) << profiles.error.toStdString();
        EXPECT_TRUE(profiles.error.endsWith(u"已改用内置的配置。"_s));
        // The built-ins, untouched by whatever the file held before its fault.
        ASSERT_EQ(profiles.profiles.size(), 2);
        EXPECT_EQ(profiles.profiles.at(0).entry.classWords, QStringList({u"listitem"_s}));
        EXPECT_EQ(profiles.profiles.at(0).blocked.statuses, QList<int>({403, 429, 503}));
    }
}
