#pragma once

#include <QString>
#include <functional>

namespace papyrant {

class Prompts;

// Rules that turn article titles, links and content types into file names and folders that can
// be created, and the numbered names used when a name is taken. Paths use "/"; the rules that
// split paths also accept "\" as a separator. Only UniqueFilePath, CreateFolderPath and
// 复制相同文件自动重命名 look at the file system.

// A name without the characters Windows forbids in file names (\ / : * ? " < > |), without
// control characters (C0, DEL and C1) and unpaired surrogates, without leading or trailing dots,
// cut to 400 code-page bytes and to what the platform's file system accepts with room left for
// "." + extension and a counter such as "[0001]". Spaces stay; the text is not trimmed. The
// result may be empty. Cleaning a cleaned name changes nothing.
QString CleanFileName(const QString &name);

// The last segment of a link ("/" or "\" separated), trimmed of spaces; with stripExtension,
// without the part from its last ".". Query strings stay (CleanFileName removes the "?").
// A segment of dots only ("." or "..") gives an empty name.
QString FileNameFromUrl(const QString &url, bool stripExtension);

// Scheme and host of a link: "scheme://host/a/b" gives "scheme://host".
QString UrlSiteRoot(const QString &url);

struct NameAndExtension
{
    QString name;      // without extension
    QString extension; // without dot; empty when none
};
// The file part of a path split at its last "."; an extension of 7 or more characters is none.
NameAndExtension SplitNameAndExtension(const QString &path);

struct PathParts
{
    QString folder; // up to and including the last separator; empty when there is none
    QString name;
    QString extension;
};
// A path split into folder, name and extension; a file part such as ".pdf" is a name.
PathParts SplitPath(const QString &path);

struct CounterSuffix
{
    QString counter; // the digits between "[" and the final "]"; empty when there is no counter
    QString base;    // the name without its counter
};
// A final "[digits]" counter of a name. A name that would be nothing but a counter has none.
CounterSuffix SplitCounterSuffix(const QString &name);

// A path at which nothing exists (no file, folder or link): the path itself when it is free,
// else the same folder with the name's own counter removed and "[0001]", "[0002]"... added
// before the extension.
QString UniqueFilePath(const QString &path);
// The same numbering with the caller's own test of a taken name (names reserved in memory,
// names that differ in letter case only).
QString UniqueFilePath(const QString &path, const std::function<bool(const QString &)> &taken);

// Creates the folder path level by level and returns it without a trailing "/" ("/" for the
// root); empty on failure. A level that exists is kept as it stands, a new one is cleaned with
// CleanFileName first; an empty level ends the walk. Handles absolute paths (/a/b), drive paths
// (C:/a, the drive used as it stands) and network paths (//server/share/a); a relative path is
// refused. A level that cleans to nothing ("..", "?") is refused with a message.
QString CreateFolderPath(const QString &folder, Prompts &prompts);

// CreateFolderPath without the message, for the paths where no dialog may open (a transfer, a
// timer tick): the caller says it where it can.
struct MadeFolder
{
    QString path;           // as CreateFolderPath returns it; empty on failure
    bool nameError = false; // refused for its name, where CreateFolderPath shows its message
};
MadeFolder MakeFolderPath(const QString &folder);

// The extension of the last segment of a link or path, without query, fragment and the like;
// empty when there is none or it has 7 or more characters.
QString UrlFileExtension(const QString &url);

// Copies source into destFolder under its own name, or, when that is taken, under the first
// free numbered name base[001].ext, base[002].ext... (an existing counter of the source is
// dropped first). Never overwrites; the copy appears whole or not at all, with the source's
// modification time. True when the file was copied.
bool 复制相同文件自动重命名(const QString &source, const QString &destFolder);
// The path 复制相同文件自动重命名 copies to: the first free one of those names. Empty when the
// source is not an ordinary, visible file or there is no folder.
QString CopyRenameTarget(const QString &source, const QString &destFolder);

} // namespace papyrant
