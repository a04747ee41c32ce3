#include "foundation/filenames.h"

#include "foundation/encoding.h"
#include "foundation/filecopy.h"
#include "foundation/fileutil.h"
#include "foundation/prompts.h"
#include "foundation/textcut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// File systems take names of at most 255 units: UTF-16 units on Windows, bytes elsewhere (Qt
// writes file names in UTF-8 there).
constexpr qint64 maxNameOnDisk = 255;

// Room CleanFileName leaves for what callers add to a cleaned name: "." and an extension of up
// to six characters (at most 19 bytes in UTF-8) and a counter from "[001]" up to "[9999999]"
// (at most 9 bytes): 28, rounded up.
constexpr qint64 suffixReserve = 32;

qint64 lengthOnDisk(QStringView name)
{
#ifdef Q_OS_WIN
    return name.size();
#else
    return QFile::encodeName(name.toString()).size();
#endif
}

// base cut (never inside a character) so that base + suffix fits the file system.
QString fitOnDisk(const QString &base, const QString &suffix)
{
    const qint64 room = maxNameOnDisk - lengthOnDisk(suffix);
    return base.left(detail::longestPrefix(QStringView(base), room, lengthOnDisk));
}

QStringView trimSpaces(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

// Anything at the path, file or folder, hidden or not, or a link even to nothing, takes it: a
// numbered name is one that a new file can be created or renamed to.
bool isTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

qsizetype lastSeparator(QStringView text)
{
    return std::max(text.lastIndexOf(u'/'), text.lastIndexOf(u'\\'));
}

// Counters are plain decimal digits; signs, points and exponents are not counted as numbers.
bool isCounterText(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool isDotsOnly(QStringView text)
{
    for (const QChar c : text) {
        if (c != u'.')
            return false;
    }
    return true;
}

QString counterText(qint64 n, int minDigits)
{
    return u'[' + QString::number(n).rightJustified(minDigits, u'0') + u']';
}

bool isDrive(QStringView part)
{
    return part.size() == 2 && part[1] == u':' && part[0].unicode() < 0x80 && part[0].isLetter();
}

NameAndExtension splitFilePart(QStringView file)
{
    const qsizetype dot = file.lastIndexOf(u'.');
    if (dot < 0 || file.size() - dot - 1 >= 7)
        return {trimSpaces(file).toString(), QString()};
    return {trimSpaces(file.left(dot)).toString(), trimSpaces(file.mid(dot + 1)).toString()};
}

} // namespace

QString CleanFileName(const QString &name)
{
    static constexpr QStringView forbidden = u"\\/:*?\"<>|";
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (c.category() == QChar::Other_Control || forbidden.contains(c))
            continue; // C0, DEL and C1 alike
        if (c.isSurrogate()) {
            // Half a pair is no character: the file system would get a different name.
            if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
                out += c;
                out += name[++i];
            }
            continue;
        }
        out += c;
    }
    qsizetype start = 0;
    qsizetype end = out.size();
    while (start < end && out[start] == u'.')
        ++start;
    while (end > start && out[end - 1] == u'.')
        --end;
    out = LeftAnsiBytes(out.mid(start, end - start), 200);
    out.truncate(
        detail::longestPrefix(QStringView(out), maxNameOnDisk - suffixReserve, lengthOnDisk));
    // The cut may end right after a dot: trim again, so a cleaned name stays clean.
    while (out.endsWith(u'.'))
        out.chop(1);
    return out;
}

QString FileNameFromUrl(const QString &url, bool stripExtension)
{
    QStringView text(url);
    const qsizetype sep = lastSeparator(text);
    if (sep >= 0)
        text = trimSpaces(text.mid(sep + 1));
    if (stripExtension) {
        const qsizetype dot = text.lastIndexOf(u'.');
        if (dot >= 0)
            text = trimSpaces(text.left(dot));
    }
    // "." and ".." name the folder itself or its parent, never a file.
    if (!text.isEmpty() && isDotsOnly(text))
        return {};
    return text.toString();
}

QString UrlSiteRoot(const QString &url)
{
    const qsizetype scheme = url.indexOf(u"://");
    if (scheme >= 0) {
        const qsizetype hostStart = scheme + 3;
        const qsizetype slash = url.indexOf(u'/', hostStart);
        return slash > hostStart ? url.left(slash) : url;
    }
    const qsizetype slash = url.indexOf(u'/');
    return slash >= 3 ? url.left(slash) : url;
}

NameAndExtension SplitNameAndExtension(const QString &path)
{
    QStringView text = trimSpaces(path);
    const qsizetype sep = lastSeparator(text);
    if (sep >= 0)
        text = text.mid(sep + 1);
    return splitFilePart(text);
}

PathParts SplitPath(const QString &path)
{
    const QStringView text = trimSpaces(path);
    const qsizetype sep = lastSeparator(text);
    const QStringView file = text.mid(sep + 1);
    NameAndExtension split = splitFilePart(file);
    if (split.name.isEmpty())
        split = {file.toString(), QString()};
    return {text.left(sep + 1).toString(), split.name, split.extension};
}

CounterSuffix SplitCounterSuffix(const QString &name)
{
    if (!name.endsWith(u']'))
        return {QString(), name};
    const qsizetype open = name.lastIndexOf(u'[');
    if (open <= 0) // no "[", or nothing before it
        return {QString(), name};
    const QStringView counter = trimSpaces(QStringView(name).mid(open + 1, name.size() - open - 2));
    if (!isCounterText(counter))
        return {QString(), name};
    return {counter.toString(), name.left(open)};
}

QString UniqueFilePath(const QString &path)
{
    return UniqueFilePath(path, isTaken);
}

QString UniqueFilePath(const QString &path, const std::function<bool(const QString &)> &taken)
{
    if (path.isEmpty() || !taken(path))
        return path;
    const qsizetype sep = lastSeparator(path);
    if (sep < 0)
        return path;
    const QString folder = path.left(sep + 1);
    const QString file = path.mid(sep + 1);
    const qsizetype dot = file.lastIndexOf(u'.');
    const QString extension = dot >= 0 ? file.mid(dot + 1) : QString();
    QString base = dot >= 0 ? file.left(dot) : file;

    if (base.size() > 100)
        base = base.left(detail::longestPrefix(QStringView(base), 100,
                                               [](QStringView s) { return qint64(s.size()); }));
    if (base.endsWith(u']')) {
        const qsizetype open = base.lastIndexOf(u'[');
        if (open >= 0
            && isCounterText(trimSpaces(QStringView(base).mid(open + 1, base.size() - open - 2)))
            // A name that is nothing but a counter and has no extension keeps it: without it
            // the candidate would be the folder itself.
            && (open > 0 || !extension.isEmpty()))
            base.truncate(open);
    }

    const QString dotExtension = extension.isEmpty() ? QString() : u'.' + extension;
    QString candidate = folder + base + dotExtension;
    for (qint64 n = 1; taken(candidate); ++n) {
        const QString suffix = counterText(n, 4) + dotExtension;
        candidate = folder + fitOnDisk(base, suffix) + suffix;
    }
    return candidate;
}

QString CreateFolderPath(const QString &folder, Prompts &prompts)
{
    const MadeFolder made = MakeFolderPath(folder);
    if (made.nameError)
        prompts.message(u"文件夹名称有误！不能创建文件夹！"_s, Prompts::Icon::Error);
    return made.path;
}

MadeFolder MakeFolderPath(const QString &folder)
{
    const auto nameError = [] { return MadeFolder{QString(), true}; };
    if (folder.isEmpty())
        return {};
    QString path = folder;
    path.replace(u'\\', u'/');
    const QStringList parts = path.split(u'/');

    QString result;
    qsizetype first = 1;
    if (path.startsWith(u"//")) {
        const QString server = parts.value(2);
        if (server.isEmpty() || isDotsOnly(server))
            return nameError();
        result = u"//"_s + server;
        first = 3;
    } else if (isDrive(parts.constFirst())) {
        result = parts.constFirst(); // used as it stands, never created
    } else if (!parts.constFirst().isEmpty()) {
        return {}; // a relative path would land wherever the program happens to run
    }

    for (qsizetype i = first; i < parts.size(); ++i) {
        const QString &part = parts[i];
        if (part.isEmpty())
            break;
        // A level that already exists is taken as it stands (a hidden ".papers" or a name with
        // ":" is a good folder here); "." and ".." never are, they would leave the path.
        QString level = part;
        if (isDotsOnly(part) || !FolderExists(result + u'/' + part)) {
            level = CleanFileName(part);
            if (level.isEmpty())
                return nameError();
        }
        result += u'/' + level;
        if (!FolderExists(result))
            QDir().mkdir(result);
    }
    if (result.isEmpty()) // the root itself
        return {FolderExists(u"/"_s) ? u"/"_s : QString()};
    return {FolderExists(result) ? result : QString()};
}

QString UrlFileExtension(const QString &url)
{
    QStringView text(url);
    const qsizetype scheme = text.indexOf(u"://");
    if (scheme >= 0) {
        text = text.mid(scheme + 3);
        const qsizetype second = text.indexOf(u"://");
        if (second >= 0)
            text = text.left(second);
    }
    text = text.mid(lastSeparator(text) + 1);
    static constexpr QStringView stops = u"#\b\t\n\r:*<>|\"'=?";
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (stops.contains(text[i])) {
            text = text.left(i);
            break;
        }
    }
    const qsizetype dot = text.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QStringView extension = trimSpaces(text.mid(dot + 1));
    return extension.size() < 7 ? extension.toString() : QString();
}

QString CopyRenameTarget(const QString &source, const QString &destFolder)
{
    if (!FileExists(source) || QFileInfo(source).isHidden() || destFolder.isEmpty())
        return {};
    const PathParts parts = SplitPath(source);
    const QString base = SplitCounterSuffix(parts.name).base;
    QString folder = destFolder;
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += u'/';
    // Without an extension the name is the bare base: no trailing dot on any file system.
    const QString dotExtension = parts.extension.isEmpty() ? QString() : u'.' + parts.extension;

    // A copy never replaces what is there.
    QString candidate = folder + base + dotExtension;
    for (qint64 n = 1; isTaken(candidate); ++n) {
        const QString suffix = counterText(n, 3) + dotExtension;
        candidate = folder + fitOnDisk(base, suffix) + suffix;
    }
    return candidate;
}

bool 复制相同文件自动重命名(const QString &source, const QString &destFolder)
{
    const QString target = CopyRenameTarget(source, destFolder);
    return !target.isEmpty() && CopyFileWhole(source, target, FileCopy::Target::New);
}

} // namespace papyrant
