// labels: unit faults
#include "support/qtprinters.h"
#include "support/testfiles.h"
#include "tools/copytool.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <optional>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Every entry of a folder, links included, with its bytes (a link: "-> target").
std::map<QString, QByteArray> entries(const QString &folder)
{
    std::map<QString, QByteArray> out;
    for (const QFileInfo &info : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        out[info.fileName()] =
            info.isSymLink() ? "-> " + info.symLinkTarget().toUtf8() : readFile(info.filePath());
    }
    return out;
}

CopyRun::Summary runCopy(const QStringList &sources, const QString &destFolder, int rule)
{
    CopyRun run;
    std::optional<CopyRun::Summary> summary;
    QObject::connect(&run, &CopyRun::finished, [&](const CopyRun::Summary &s) { summary = s; });
    run.start(sources, destFolder, rule);
    EXPECT_TRUE(QTest::qWaitFor([&] { return summary.has_value(); }, 10000));
    return summary.value_or(CopyRun::Summary{});
}

} // namespace

// A link planted at the name, even one to nothing, takes the name: no rule writes through it
// or replaces it ("覆盖" replaces only a file and fails here), and the renaming rules number.
TEST(CopyPlan, ALinkAtTheNameIsTakenAndNeverWrittenThrough)
{
    struct Case
    {
        int rule;
        int copied, passedOver, failed;
        std::map<QString, QByteArray> added; // beside the link
    };
    const Case cases[] = {
        {1, 0, 1, 0, {}},
        {2, 0, 0, 1, {}},
        {3, 1, 0, 0, {{u"a[001].pdf"_s, "new"}}},
        {4, 1, 0, 0, {{u"a[001].pdf"_s, "new"}}},
        {5, 1, 0, 0, {{u"a[001].pdf"_s, "new"}}},
    };
    for (bool dangling : {true, false}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << "rule " << c.rule << (dangling ? " dangling" : ""));
            QTemporaryDir root, outside;
            const QString victim = outside.filePath(u"victim.pdf"_s);
            if (!dangling)
                writeFile(victim, "new"); // same size as the source: rules 4 and 5 look at it
            const QString source = writeFile(root.filePath(u"src/a.pdf"_s), "new");
            const QString dst = root.filePath(u"dst/"_s);
            QDir().mkpath(dst);
            ASSERT_TRUE(QFile::link(victim, dst + u"a.pdf"_s));

            const CopyRun::Summary s = runCopy({source}, dst, c.rule);
            EXPECT_EQ(s.copied, c.copied);
            EXPECT_EQ(s.passedOver, c.passedOver);
            EXPECT_EQ(s.failed, c.failed);
            std::map<QString, QByteArray> expected = c.added;
            expected[u"a.pdf"_s] = "-> " + victim.toUtf8();
            EXPECT_EQ(entries(dst), expected);
            std::map<QString, QByteArray> untouched;
            if (!dangling)
                untouched[u"victim.pdf"_s] = "new";
            EXPECT_EQ(entries(outside.path()), untouched);
        }
    }
}

// The source's own folder is passed over however it is spelled; a folder whose name differs in
// letter case only is another folder on a file system that tells case apart.
TEST(CopyPlan, TheSameFolderIsTheSameFileSystemFolder)
{
    QTemporaryDir root;
    const QString source = writeFile(root.filePath(u"Papers/a.pdf"_s), "new");
    ASSERT_TRUE(QDir().mkpath(root.filePath(u"papers"_s)));
    ASSERT_TRUE(QFile::link(root.filePath(u"Papers"_s), root.filePath(u"alias"_s)));

    const bool caseSensitive = !QFileInfo::exists(root.filePath(u"PAPERS/a.pdf"_s));
    struct Case
    {
        QString folder;
        CopyPlan::Action action;
    };
    const Case cases[] = {
        {root.filePath(u"Papers/"_s), CopyPlan::PassOver},
        {root.filePath(u"Papers/../Papers/"_s), CopyPlan::PassOver},
        {root.filePath(u"alias/"_s), CopyPlan::PassOver},
        {root.filePath(u"papers/"_s), caseSensitive ? CopyPlan::CopyNew : CopyPlan::PassOver},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PlanCopy(source, c.folder, 3).action, c.action) << c.folder.toStdString();

    if (caseSensitive) {
        EXPECT_EQ(runCopy({source}, root.filePath(u"papers/"_s), 3).copied, 1);
        EXPECT_EQ(readFile(root.filePath(u"papers/a.pdf"_s)), "new");
    }
}
