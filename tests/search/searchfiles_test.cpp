// labels: unit faults
#include "foundation/textfile.h"
#include "search/searchfiles.h"
#include "search/searchlist.h"
#include "support/pincodepage.h"
#include "support/recordingprompts.h"
#include "support/staticbrowser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Files : ::testing::Test
{
    QTemporaryDir dir;
    SearchList list;
    RecordingPrompts prompts;
    PinCodePage pin{"GBK"};

    void fillThreeRows()
    {
        list.加入LV1(u"湿地ｹﾝｷｭｳ"_s, u"http://a/1.pdf"_s, u"http://a/p1"_s, u"PDF"_s, {});
        list.加入LV1(u"Second"_s, u"http://a/2.pdf"_s, u"http://a/p1"_s, u"PDF"_s, {});
        list.加入LV1(u"第三"_s, u"http://a/3.pdf"_s, u"http://a/p2"_s, u"PDF"_s, {});
        list.setState(0, u"成功"_s);
    }
};

} // namespace

TEST_F(Files, ExportOfThreeRowsWritesThreeLinesEndingInCrLf)
{
    fillThreeRows();
    const QString path = dir.filePath(u"list.txt"_s);
    prompts.fileAnswers.push_back(path);
    SearchFiles::导出数据(list, prompts);

    const QByteArray bytes = readAll(path);
    EXPECT_EQ(bytes,
              "\xEF\xBB\xBF"
                  + u"湿地ｹﾝｷｭｳ-【PDF】成功\r\nSecond-【PDF】\r\n第三-【PDF】\r\n"_s.toUtf8())
        << "half-width kana are not in GBK: the file is UTF-8 with its mark";
    EXPECT_EQ(bytes.count("\r\n"), 3);
    EXPECT_EQ(bytes.count('\n'), 3);
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown.at(1).text, SavedFileMessage(bytes.size()));
    EXPECT_EQ(prompts.shown.at(1).icon, Prompts::Icon::Information);
}

// The dialog adds ".txt" itself, so that its question about an existing file is about the file
// that will be written: a No keeps the old list.txt.
TEST_F(Files, ExportAddsTheDefaultExtensionBeforeTheQuestionAndWritesTheCodePageWhenItFits)
{
    list.加入LV1(u"中文标题"_s, u"http://a/1.pdf"_s, {}, u"PDF"_s, {});
    const QString file = dir.filePath(u"list.txt"_s);
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old list");
    }
    prompts.fileAnswers = {dir.filePath(u"list"_s)};
    prompts.yesNoAnswers = {false};
    SearchFiles::导出数据(list, prompts);
    EXPECT_EQ(prompts.kinds(), (QStringList{u"save"_s, u"replace"_s}));
    EXPECT_EQ(prompts.shown.at(0).defaultSuffix, u"txt"_s);
    EXPECT_EQ(prompts.shown.at(1).text, file);
    EXPECT_EQ(readAll(file), QByteArray("old list"));
    EXPECT_FALSE(QFile::exists(dir.filePath(u"list"_s)));

    prompts.fileAnswers = {dir.filePath(u"list"_s)};
    prompts.yesNoAnswers = {true};
    SearchFiles::导出数据(list, prompts);
    EXPECT_EQ(readAll(file),
              QByteArray("\xD6\xD0\xCE\xC4\xB1\xEA\xCC\xE2-\xA1\xBEPDF\xA1\xBF\r\n"));
}

TEST_F(Files, NothingHappensForAnEmptyListOrACancelledDialog)
{
    SearchFiles::导出数据(list, prompts);
    EXPECT_TRUE(prompts.shown.isEmpty()); // no dialog for an empty list

    fillThreeRows();
    SearchFiles::导出数据(list, prompts); // the dialog answers nothing: cancelled
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown.at(0).kind, u"save"_s);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(Files, AFileThatCannotBeWrittenIsReportedWithItsNameAndReason)
{
    fillThreeRows();
    const QString path = dir.filePath(u"missing/list.txt"_s);
    prompts.fileAnswers.push_back(path);
    SearchFiles::导出数据(list, prompts);
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown.at(1).icon, Prompts::Icon::Error);
    EXPECT_TRUE(
        prompts.shown.at(1).text.startsWith(u"保存文件失败："_s + QDir::toNativeSeparators(path)))
        << prompts.shown.at(1).text.toStdString();
    EXPECT_TRUE(prompts.shown.at(1).text.contains(u"原因："_s));
}

TEST_F(Files, PageSourceIsTheMarkupOfThePageOnShow)
{
    StaticBrowser browser;
    SearchFiles::网页源码保存到(&browser, prompts); // nothing loaded: no dialog
    EXPECT_TRUE(prompts.shown.isEmpty());

    const QString html =
        u"<html><head><title>検索結果</title></head><body><p>ｶﾀｶﾅ</p></body></html>"_s;
    browser.show(u"http://site/result"_s, html);
    const QString path = dir.filePath(u"page.txt"_s);
    prompts.fileAnswers.push_back(path);
    SearchFiles::网页源码保存到(&browser, prompts);
    const QByteArray bytes = readAll(path);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")); // half-width kana are not in GBK
    EXPECT_EQ(bytes.mid(3), browser.Document()->outerHTML().toUtf8());
    EXPECT_EQ(prompts.last(), SavedFileMessage(bytes.size()));
}
