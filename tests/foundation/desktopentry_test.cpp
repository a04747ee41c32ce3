// labels: unit
// Finding the desktop's text editor: the mimeapps.list lookup and the Exec line.
#include "foundation/desktopentry.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {

void write(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(DesktopEntry, ExecLineForOneFile)
{
    const QString path = u"/tmp/论文 1.txt"_s;
    const QString url = u"file:///tmp/%E8%AE%BA%E6%96%87%201.txt"_s;
    struct Case
    {
        QString exec;
        QStringList command;
    };
    const Case cases[] = {
        {u"gedit %U"_s, {u"gedit"_s, url}},
        {u"mousepad %F"_s, {u"mousepad"_s, path}},
        {u"kate -b %u"_s, {u"kate"_s, u"-b"_s, url}},
        {u"\"/opt/my editor/bin/ed\" --new-window %f"_s,
         {u"/opt/my editor/bin/ed"_s, u"--new-window"_s, path}},
        {u"xed --name=%c %i %f"_s, {u"xed"_s, u"--name="_s, path}}, // unused codes go
        {u"notes --file=%f"_s, {u"notes"_s, u"--file="_s + path}},
        {u"edit 100%%"_s, {u"edit"_s, u"100%"_s, path}}, // no file code: path last
        {u"sh -c \"echo \\\"a\\\" \\$HOME\" %f"_s, {u"sh"_s, u"-c"_s, u"echo \"a\" $HOME"_s, path}},
        {u"my\\\\s"_s, {u"my\\s"_s, path}},          // "\\\\" in the file is one "\"
        {u"ed\\sit %f"_s, {u"ed"_s, u"it"_s, path}}, // "\\s" is a space
        {u"\"unclosed %f"_s, {}},
        {u""_s, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DesktopExecCommand(c.exec, path), c.command) << c.exec.toStdString();
}

TEST(DesktopEntry, DefaultApplicationLookupOrder)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(u"config"_s);
    const QString userData = dir.filePath(u"data-user"_s);
    const QString systemData = dir.filePath(u"data-system"_s);
    const QString entry = "[Desktop Entry]\nType=Application\nExec=x %f\n"_L1;
    for (const char16_t *id : {u"a.desktop", u"b.desktop", u"c.desktop"})
        write(systemData + u"/applications/"_s + QString::fromUtf16(id), entry.toUtf8());
    write(systemData + u"/applications/kde4/kate.desktop"_s, entry.toUtf8());
    write(systemData + u"/applications/mimeinfo.cache"_s,
          "[MIME Cache]\ntext/plain=missing.desktop;c.desktop;\ntext/html=b.desktop;\n");
    const QStringList configDirs{config};
    const QStringList dataDirs{userData, systemData};
    const auto lookup = [&](const QString &mime, const QStringList &desktops = {}) {
        return DefaultDesktopEntry(mime, configDirs, dataDirs, desktops);
    };

    EXPECT_EQ(lookup(u"text/plain"_s), u"c.desktop"_s)
        << "the cache, skipping what is not installed";
    EXPECT_EQ(lookup(u"image/png"_s), QString());

    write(systemData + u"/applications/mimeapps.list"_s,
          "[Added Associations]\ntext/plain=a.desktop;\n[Default "
          "Applications]\ntext/plain=b.desktop\n");
    EXPECT_EQ(lookup(u"text/plain"_s), u"b.desktop"_s) << "a default list wins over the cache";

    write(config + u"/mimeapps.list"_s,
          "# mine\n[Default Applications]\ntext/plain=gone.desktop;kde4-kate.desktop;\n");
    EXPECT_EQ(lookup(u"text/plain"_s), u"kde4-kate.desktop"_s) << "the user's config first";
    EXPECT_EQ(DesktopEntryPath(u"kde4-kate.desktop"_s, dataDirs),
              systemData + u"/applications/kde4/kate.desktop"_s);

    write(config + u"/xfce-mimeapps.list"_s, "[Default Applications]\ntext/plain=a.desktop\n");
    EXPECT_EQ(lookup(u"text/plain"_s, {u"XFCE"_s}), u"a.desktop"_s)
        << "the desktop's own list first";
    EXPECT_EQ(lookup(u"text/plain"_s, {u"GNOME"_s}), u"kde4-kate.desktop"_s);

    EXPECT_EQ(ReadDesktopGroup(systemData + u"/applications/a.desktop"_s, u"Desktop Entry"_s)
                  .value(u"Exec"_s),
              u"x %f"_s);
}
