// labels: gui
#include "foundation/shell.h"
#include "foundation/ui/notificationsound.h"
#include "foundation/ui/showinfolder.h"
#include "support/tempsettings.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

TEST(ShellUi, CacheFolderIsWhereTheBrowserProfileKeepsItsCache)
{
    QWebEngineProfile profile(BrowserStorageName.toString());
    EXPECT_EQ(InternetCacheFolder(), QDir(profile.cachePath()).path() + u'/');
}

TEST(ShellUi, PlayingASoundWritesItsClipAndNeverWaits)
{
    test::TempSettings temp;
    QElapsedTimer clock;
    clock.start();
    PlayNotificationSound(101);
    PlayNotificationSound(101);
    PlayNotificationSound(999); // no such clip: silent
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(QFile::exists(temp.dataFolder() + u"101.wav"_s));
    EXPECT_FALSE(QFile::exists(temp.dataFolder() + u"999.wav"_s));
}

namespace {

// Stands in for the desktop's file manager on a private bus.
class FileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
};

// A private D-Bus daemon for one test, ended with it.
struct PrivateBus
{
    QProcess daemon;
    QString address;

    PrivateBus()
    {
        const QString program = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (program.isEmpty())
            return;
        daemon.start(program, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        if (daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        daemon.terminate();
        daemon.waitForFinished(3000);
    }
};

} // namespace

TEST(ShellUi, ShowInFolderAsksTheFileManagerToSelectTheFile)
{
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon on this machine";
    QDBusConnection server = QDBusConnection::connectToBus(bus.address, u"fm-side"_s);
    QDBusConnection client = QDBusConnection::connectToBus(bus.address, u"app-side"_s);
    ASSERT_TRUE(server.isConnected() && client.isConnected());

    QTemporaryDir dir;
    const QString path = dir.path() + u"/论文 #1.pdf"_s;
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    // Nobody offers the service yet.
    EXPECT_FALSE(ShowInFolder(path, client));

    FileManager manager;
    ASSERT_TRUE(server.registerObject(u"/org/freedesktop/FileManager1"_s, &manager,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(u"org.freedesktop.FileManager1"_s));

    // The stand-in answers on this same thread: the wait for its reply must keep events flowing.
    EXPECT_TRUE(ShowInFolder(u"  "_s + path + u"  "_s, client));
    ASSERT_EQ(manager.shown.size(), 1);
    EXPECT_EQ(QUrl(manager.shown[0]).toLocalFile(), path);

    EXPECT_FALSE(ShowInFolder(dir.path() + u"/missing.pdf"_s, client));
    EXPECT_FALSE(ShowInFolder(dir.path(), client));

    QDBusConnection::disconnectFromBus(u"fm-side"_s);
    QDBusConnection::disconnectFromBus(u"app-side"_s);
}

#include "shellui_test.moc"
