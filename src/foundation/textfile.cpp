#include "foundation/textfile.h"

#include "foundation/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

namespace papyrant {

QByteArray EncodePlainText(const QString &text)
{
    const QByteArray local = toCodePage(text);
    if (fromCodePage(local) == text)
        return local;
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

namespace {

QString reasonOf(const QSaveFile &file)
{
    QString why;
    switch (file.error()) {
    case QFileDevice::PermissionsError: why = QStringLiteral("没有写入权限"); break;
    case QFileDevice::ResourceError: why = QStringLiteral("磁盘空间不足或资源不够"); break;
    case QFileDevice::OpenError: why = QStringLiteral("无法创建文件"); break;
    case QFileDevice::WriteError: why = QStringLiteral("写入出错"); break;
    default: why = QStringLiteral("写入出错"); break;
    }
    const QString system = file.errorString();
    return system.isEmpty() ? why : why + QStringLiteral("（") + system + QStringLiteral("）");
}

} // namespace

TextFileResult WritePlainTextFile(const QString &path, const QString &text)
{
    TextFileResult result;
    if (QFileInfo(path).isDir()) {
        result.error = QStringLiteral("同名文件夹已存在");
        return result;
    }
    const QByteArray bytes = EncodePlainText(text);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = reasonOf(file);
        return result;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = reasonOf(file);
        file.cancelWriting();
        return result;
    }
    result.ok = true;
    result.bytes = bytes.size();
    return result;
}

QString SavedFileMessage(qint64 bytes)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("保存文件完毕：") + english.toString(double(bytes) / 1024.0, 'f', 1)
           + QStringLiteral("KB");
}

QString FileNotSavedMessage(const QString &path, const QString &error)
{
    return QStringLiteral("保存文件失败：") + QDir::toNativeSeparators(path)
           + QStringLiteral("\n原因：") + error;
}

} // namespace papyrant
