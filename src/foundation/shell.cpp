#include "foundation/shell.h"

#include "foundation/fileutil.h"
#include "foundation/programfolder.h"
#include "foundation/prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

// Resources of a static library are registered by hand (see NotificationSoundFile).
static void initSoundResources()
{
    Q_INIT_RESOURCE(sounds);
}

namespace papyrant {

namespace {

ShellOpeners &openers()
{
    static ShellOpeners o;
    return o;
}

std::function<bool(const QString &)> &textEditor()
{
    static std::function<bool(const QString &)> editor;
    return editor;
}

bool openOnDesktop(const QUrl &url)
{
    return openers().desktop ? openers().desktop(url) : QDesktopServices::openUrl(url);
}

bool openWithFallback(const QString &target)
{
    return openers().fallback ? openers().fallback(target) : StartPlatformOpener(target);
}

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

void setShellOpenersForTesting(ShellOpeners o)
{
    openers() = std::move(o);
}

void setTextEditorForTesting(std::function<bool(const QString &)> editor)
{
    textEditor() = std::move(editor);
}

bool ControlExists(const QObject *parent, const QString &name)
{
    return parent && parent->findChild<QObject *>(name) != nullptr;
}

void OpenDocument(const QString &path, Prompts &prompts)
{
    if (!FileExists(path)) {
        prompts.message(u"文件不存在！"_s, Prompts::Icon::Error);
        return;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!openOnDesktop(QUrl::fromLocalFile(absolute)))
        openWithFallback(absolute);
}

bool OpenInTextEditor(const QString &path)
{
    if (!FileExists(path))
        return false;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (textEditor())
        return textEditor()(absolute);
    return StartPlatformTextEditor(absolute) || openOnDesktop(QUrl::fromLocalFile(absolute));
}

bool OpenFolder(const QString &folder)
{
    if (!FolderExists(folder))
        return false;
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    return openOnDesktop(QUrl::fromLocalFile(absolute)) || openWithFallback(absolute);
}

void OpenWebPage(const QString &url, bool browserWindow)
{
    Q_UNUSED(browserWindow)
    const QUrl target = QUrl::fromUserInput(url.trimmed());
    if (!target.isValid())
        return;
    if (!openOnDesktop(target))
        openWithFallback(target.toString(QUrl::FullyEncoded));
}

bool OpenLinkOrFile(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty()) {
        if (!openOnDesktop(url))
            openWithFallback(url.toString(QUrl::FullyEncoded));
        return true;
    }
    if (!QDir::isAbsolutePath(trimmed) || !FileExists(trimmed))
        return false;
    const QString absolute = QFileInfo(trimmed).absoluteFilePath();
    if (!openOnDesktop(QUrl::fromLocalFile(absolute)))
        openWithFallback(absolute);
    return true;
}

QString BrowseForFolder(Prompts &prompts, const QString &start, const QString &prompt,
                        bool includeFiles)
{
    // The prompt interface lists folders only; includeFiles has no counterpart there.
    Q_UNUSED(includeFiles)
    const QString startText = QDir::fromNativeSeparators(start);
    QString preselect = QDir::rootPath();
    if (!startText.trimmed().isEmpty()) {
        // The parent of a folder path that ends in "/"; the folder itself otherwise.
        const int cut = startText.lastIndexOf(u'/', startText.size() - 2);
        preselect = cut >= 0 ? startText.left(cut + 1) : QString();
    }
    if (!FolderExists(preselect))
        preselect = QDir::rootPath();

    const QString chosen = prompts.browseFolder(prompt, preselect);
    const QString result = chosen.isEmpty() ? startText : QDir::fromNativeSeparators(chosen);
    // A cancelled browser with nothing to start from must not turn into the root folder.
    return result.isEmpty() ? result : withSlash(result);
}

QUrl MailSuggestionUrl(const QDate &date)
{
    const QString subject = u"我要对["_s + appTitle() + u"]提建议"_s;
    const QString body = u"软件名称："_s + appTitle() + u" 姓名：          "_s
                         + u" Email：           "_s + u" 联系地址：           "_s
                         + u" 邮编：              "_s + u" 电话：                    "_s
                         + u" 日期："_s + QLocale::system().toString(date, QLocale::ShortFormat);
    const QByteArray encoded = "mailto:" + MakerContactAddress.toUtf8()
                               + "?subject=" + QUrl::toPercentEncoding(subject)
                               + "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

void MailSuggestion()
{
    openOnDesktop(MailSuggestionUrl(QDate::currentDate()));
}

QString InternetCacheFolder()
{
    // Where a disk-based browser profile keeps its HTTP cache unless told otherwise.
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + u"/QtWebEngine/"_s
           + BrowserStorageName.toString() + u'/';
}

QString NotificationSoundFile(int number)
{
    initSoundResources();
    const QString path = ProgramDataFolder() + QString::number(number) + u".wav"_s;
    if (FileExists(path))
        return path;
    QFile resource(u":/sounds/"_s + QString::number(number) + u".wav"_s);
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(resource.readAll()) < 0 || !file.commit())
        return {};
    return path;
}

} // namespace papyrant
