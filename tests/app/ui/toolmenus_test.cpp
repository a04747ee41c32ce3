// labels: gui browser
// The tools and settings reached from the download window's menus, as the program wires them.
#include "app/ui/fcover.h"
#include "app/ui/programwindows.h"
#include "download/downloadsession.h"
#include "download/methodone.h"
#include "download/ui/ffiledownload.h"
#include "foundation/settings.h"
#include "search/searchsession.h"
#include "search/ui/fwebsearch.h"
#include "support/findchild.h"
#include "support/openerlog.h"
#include "support/recordingprompts.h"
#include "support/tempsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The program with its download window open, and a browser cache of its own.
struct Program
{
    TempSettings settings;
    QTemporaryDir home;
    RecordingPrompts prompts;
    ProgramWindows windows{&prompts};
    FFileDownload *download = nullptr;

    Program()
    {
        windows.cachePlaces = [this] {
            CacheViewerPlaces places;
            places.cacheFolder = cacheFolder();
            places.homeFolder = home.path();
            places.systemDescription = u"Debian GNU/Linux 12 (bookworm)[64位]"_s;
            places.userProfiles = [this] { return QList<UserProfile>{{u"me"_s, home.path()}}; };
            return places;
        };
        windows.showDownloadWindow();
        download = windows.downloadWindow();
    }
    QString cacheFolder() const { return home.path() + u"/.cache/papyrant-test/"_s; }
    // Triggers a menu item whose dialog is modal, and answers the dialog with `answer`.
    void triggerModal(const QString &item, const std::function<void(QWidget *)> &answer)
    {
        triggerModal(download, item, answer);
    }
    void triggerModal(QWidget *window, const QString &item,
                      const std::function<void(QWidget *)> &answer)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            seen = true;
            answer(dialog);
        });
        child<QAction>(window, item)->trigger();
        EXPECT_TRUE(seen) << item.toStdString();
    }
};

} // namespace

TEST(ToolMenus, OptionsFromTheDownloadWindowTakeEffectThereAtOnce)
{
    Program program;
    ASSERT_TRUE(program.download);
    EXPECT_EQ(child<QLabel>(program.download, u"Label7"_s)->text(), u"下载方式：2"_s);

    program.triggerModal(u"设置"_s, [](QWidget *dialog) {
        EXPECT_EQ(dialog->objectName(), u"fOption"_s);
        EXPECT_TRUE(child<QRadioButton>(dialog, u"Option2"_s)->isChecked());
        child<QRadioButton>(dialog, u"Option1"_s)->click();
        child<QLineEdit>(dialog, u"Text1"_s)->setText(u"5"_s);
        child<QLineEdit>(dialog, u"Text6"_s)->setText(u"proxy.local"_s);
        child<QLineEdit>(dialog, u"Text8"_s)->setText(u"3128"_s);
        child<QComboBox>(dialog, u"Combo2"_s)->setCurrentIndex(0); // one at a time per host
        QTest::mouseClick(child<QPushButton>(dialog, u"Command1"_s), Qt::LeftButton);
    });
    EXPECT_EQ(child<QLabel>(program.download, u"Label7"_s)->text(), u"下载方式：1"_s);
    EXPECT_FALSE(child<QComboBox>(program.download, u"Combo1"_s)->isEnabled());
    EXPECT_EQ(program.download->session().method, 1);
    EXPECT_EQ(program.download->session().options.maxFileSizeMB, 5.0);
    EXPECT_EQ(program.download->session().options.perHostLimit, 1);
    EXPECT_EQ(program.download->methodOne().proxy.host, u"proxy.local"_s);
    EXPECT_EQ(GetSetting(setting::DownloadMethod), u"1"_s);
    EXPECT_EQ(GetSetting(setting::MaxFileSizeMB), u"5"_s);

    // Back to method two: the thread box comes back with "1".
    program.triggerModal(u"设置"_s, [](QWidget *dialog) {
        EXPECT_TRUE(child<QRadioButton>(dialog, u"Option1"_s)->isChecked()); // read back
        EXPECT_EQ(child<QLineEdit>(dialog, u"Text1"_s)->text(), u"5"_s);
        child<QRadioButton>(dialog, u"Option2"_s)->click();
        QTest::mouseClick(child<QPushButton>(dialog, u"Command1"_s), Qt::LeftButton);
    });
    EXPECT_EQ(child<QLabel>(program.download, u"Label7"_s)->text(), u"下载方式：2"_s);
    EXPECT_TRUE(child<QComboBox>(program.download, u"Combo1"_s)->isEnabled());
    EXPECT_EQ(child<QComboBox>(program.download, u"Combo1"_s)->currentText(), u"1"_s);
    EXPECT_TRUE(program.prompts.shown.isEmpty());
}

// The dialog shows the method and thread count the open window holds, not the stored ones, and
// "确定" without a change keeps them.
TEST(ToolMenus, OptionsShowAndKeepWhatTheOpenWindowHolds)
{
    Program program;
    FFileDownload *w = program.download;
    auto *combo1 = child<QComboBox>(w, u"Combo1"_s);
    const auto pressOk = [&](int expectedMethod) {
        program.triggerModal(u"设置"_s, [&](QWidget *dialog) {
            EXPECT_EQ(child<QRadioButton>(dialog, u"Option1"_s)->isChecked(), expectedMethod == 1);
            EXPECT_EQ(child<QRadioButton>(dialog, u"Option2"_s)->isChecked(), expectedMethod == 2);
            QTest::mouseClick(child<QPushButton>(dialog, u"Command1"_s), Qt::LeftButton);
        });
    };

    combo1->setCurrentIndex(3); // method two with four threads (the store says three)
    pressOk(2);
    EXPECT_EQ(combo1->currentText(), u"4"_s);
    EXPECT_TRUE(combo1->isEnabled());
    EXPECT_EQ(w->session().options.threadCount, 4);

    QTest::mouseClick(child<QPushButton>(w, u"Command26"_s), Qt::LeftButton); // to method one
    ASSERT_EQ(GetSetting(setting::DownloadMethod), u"2"_s) << "the switch is stored at close";
    pressOk(1);
    EXPECT_EQ(w->session().method, 1);
    EXPECT_EQ(child<QLabel>(w, u"Label7"_s)->text(), u"下载方式：1"_s);
    EXPECT_FALSE(combo1->isEnabled());
    EXPECT_EQ(GetSetting(setting::DownloadMethod), u"1"_s);
    EXPECT_TRUE(program.prompts.shown.isEmpty());
}

TEST(ToolMenus, ClearingTheCacheAndTheLatestVersionFromTheDownloadWindow)
{
    Program program;
    const QString index = program.cacheFolder() + u"Cache/Cache_Data/index"_s;
    QDir().mkpath(QFileInfo(index).absolutePath());
    QFile(index).open(QIODevice::WriteOnly);
    child<QAction>(program.download, u"menu清空IE浏览器缓存"_s)->trigger();
    EXPECT_FALSE(QFileInfo::exists(index));
    EXPECT_EQ(program.prompts.messages(), QStringList{u"IE缓存清空完毕！"_s});

    OpenerLog opened;
    SaveSetting(setting::UpdateSiteRoot, u"http://example.org/site/"_s);
    child<QAction>(program.download, u"menu最新版本"_s)->trigger();
    ASSERT_EQ(opened.desktop.size(), 1);
    EXPECT_TRUE(opened.desktop[0].toString().startsWith(u"http://example.org/site/"_s));
    EXPECT_TRUE(opened.desktop[0].toString().endsWith(u"/"_s));
}

TEST(ToolMenus, ClosingTheCoverClearsTheCacheWithoutAWord)
{
    Program program;
    const QString index = program.cacheFolder() + u"Cache/Cache_Data/index"_s;
    QDir().mkpath(QFileInfo(index).absolutePath());
    QFile(index).open(QIODevice::WriteOnly);
    program.windows.cover()->show();
    program.windows.cover()->close();
    EXPECT_FALSE(QFileInfo::exists(index));
    EXPECT_TRUE(program.prompts.shown.isEmpty());
}

TEST(ToolMenus, TheSearchWindowReachesTheSameTools)
{
    Program program;
    program.windows.showSearchWindow();
    FWebSearch *search = program.windows.searchWindow();
    ASSERT_TRUE(search);
    EXPECT_EQ(program.windows.savePath().PromptSavePathOnExtract, 1);

    auto *service = child<QLabel>(search, u"StatusBar1Panel3"_s);
    EXPECT_EQ(service->text(), u"检索服务：CiNii Research"_s); // a new install
    program.triggerModal(search, u"menu设置"_s, [](QWidget *dialog) {
        EXPECT_EQ(dialog->objectName(), u"fOption"_s);
        child<QCheckBox>(dialog, u"Check2"_s)->click();
        auto *services = child<QComboBox>(dialog, u"Combo1"_s);
        EXPECT_EQ(services->currentText(), u"CiNii Research"_s);
        ASSERT_EQ(services->count(), 2);
        services->setCurrentIndex(services->findText(u"CiNii Articles（旧版页面）"_s));
        QTest::mouseClick(child<QPushButton>(dialog, u"Command1"_s), Qt::LeftButton);
    });
    // The search window asks for the save folder by the new choice from its next extraction,
    // and reads the other service's pages.
    EXPECT_EQ(program.windows.savePath().PromptSavePathOnExtract, 0);
    EXPECT_EQ(search->session().profile().id, u"cinii-articles"_s);
    EXPECT_EQ(GetSetting(setting::ServiceProfileId), u"cinii-articles"_s);
    EXPECT_EQ(service->text(), u"检索服务：CiNii Articles（旧版页面）"_s);
    program.triggerModal(search, u"menu设置"_s, [](QWidget *dialog) {
        EXPECT_EQ(child<QComboBox>(dialog, u"Combo1"_s)->currentText(),
                  u"CiNii Articles（旧版页面）"_s);
        QTest::mouseClick(child<QPushButton>(dialog, u"Command2"_s), Qt::LeftButton);
    });

    program.triggerModal(search, u"menu查看IE浏览器缓存"_s, [](QWidget *dialog) {
        EXPECT_EQ(dialog->objectName(), u"fIEcache"_s);
        QTest::mouseClick(child<QPushButton>(dialog, u"Command1"_s), Qt::LeftButton);
        EXPECT_EQ(child<QLabel>(dialog, u"Label1"_s)->text(), u"共有0 个文件"_s);
        QTest::mouseClick(child<QPushButton>(dialog, u"Command4"_s), Qt::LeftButton);
    });

    child<QAction>(search, u"menu清空IE浏览器缓存"_s)->trigger();
    EXPECT_EQ(program.prompts.messages(), QStringList{u"IE缓存清空完毕！"_s});

    OpenerLog opened;
    SaveSetting(setting::UpdateSiteRoot, u"http://example.org/"_s);
    child<QAction>(search, u"menu最新版本"_s)->trigger();
    ASSERT_EQ(opened.desktop.size(), 1);
    EXPECT_TRUE(opened.desktop[0].toString().startsWith(u"http://example.org/"_s));
}
