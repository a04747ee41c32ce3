#include "foundation/contenttype.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

struct TypeRule
{
    QStringView main;
    QStringView subtypes[9]; // unused places stay null
    QStringView extension;   // null: the subtype itself
};

// First matching row wins; the known main types fall back to the subtype below. One rule a line:
// clang-format off
const TypeRule typeRules[] = {
    {u"application", {u"octet-stream"}, u""},
    {u"application", {u"x-shockwave-flash"}, u"swf"},
    {u"application", {u"x-javascript"}, u"js"},
    {u"application", {u"vnd.rn-realmedia"}, u"rm"},
    {u"application", {u"vnd.ms-wpl"}, u"wpl"},
    {u"application", {u"kdh", u"caj", u"pdf", u"caa", u"nh"}, {}},
    {u"application", {u"vnd.ms-works"}, u"wps"},
    {u"application", {u"ppt", u"vnd.ms-powerpoint"}, u"ppt"},
    {u"application", {u"doc", u"msword"}, u"doc"},
    {u"application", {u"docx", u"vnd.openxmlformats-officedocument.wordprocessingml.document"}, u"docx"},
    {u"application", {u"rtf"}, u"rtf"},
    {u"application", {u"xls", u"vnd.ms-excel", u"x-excel"}, u"xls"},
    {u"application", {u"xlsx", u"vnd.openxmlformats-officedocument.spreadsheetml.sheet"}, u"xlsx"},
    {u"application", {u"pptx", u"vnd.openxmlformats-officedocument.presentationml.presentation"}, u"pptx"},
    {u"application", {u"pps"}, u"pps"},
    {u"application", {u"ppsx", u"vnd.openxmlformats-officedocument.presentationml.slideshow"}, u"ppsx"},
    {u"application", {u"dll", u"x-msdownload"}, u"dll"},
    {u"application", {u"tar", u"x-tar"}, u"tar"},
    {u"application", {u"tgz", u"x-compressed"}, u"tgz"},
    {u"application", {u"zip", u"x-zip-compressed"}, u"zip"},
    {u"application", {u"z", u"x-compress"}, u"z"},
    {u"text", {u"html", u"txt", u"htm", u"xml", u"css"}, {}},
    {u"text", {u"plain"}, u"txt"},
    {u"image", {u"jpg", u"jpeg", u"gif", u"png", u"bmp", u"tif", u"pjpeg", u"g3fax", u"ief"}, {}},
    {u"image", {u"tiff"}, u"tif"},
    {u"image", {u"x-png"}, u"png"},
    {u"image", {u"x-ms-bmp"}, u"bmp"},
    {u"image", {u"x-icon"}, u"ico"},
    {u"video", {u"mpeg"}, u"mpeg"},
    {u"video", {u"mpeg4"}, u"mp4"},
    {u"video", {u"x-msvideo"}, u"avi"},
    {u"video", {u"x-ms-asf"}, u"asf"},
    {u"video", {u"x-ms-wmv"}, u"wmv"},
    {u"video", {u"quicktime"}, u"mov"},
    {u"audio", {u"amr"}, u"amr"},
    {u"audio", {u"x-ms-wma"}, u"wma"},
    {u"audio", {u"x-wav"}, u"wav"},
    {u"audio", {u"x-pn-realaudio"}, u"ram"},
    {u"audio", {u"midi"}, u"mid"},
    {u"audio", {u"x-mpegurl"}, u"mpeg"},
    {u"message", {u"rfc822"}, u"mht"},
};
// clang-format on

// The leading run of letters a-z; more than five letters is no extension.
QString letterFilter(const QString &candidate)
{
    qsizetype n = 0;
    while (n < candidate.size() && candidate[n] >= u'a' && candidate[n] <= u'z')
        ++n;
    return n > 5 ? QString() : candidate.left(n);
}

// An extension the table names outright is taken as it is ("mp4"); one taken from the text
// itself goes through the letter filter.
QString candidateFor(const QString &main, const QString &subtype)
{
    for (const TypeRule &rule : typeRules) {
        if (rule.main != main)
            continue;
        for (QStringView sub : rule.subtypes) {
            if (!sub.isNull() && sub == subtype)
                return rule.extension.isNull() ? letterFilter(subtype) : rule.extension.toString();
        }
    }
    // Known and unknown main types alike fall back to the subtype; "*" keeps no letters.
    return letterFilter(subtype);
}

} // namespace

QString ExtensionForContentType(const QString &contentType)
{
    const QStringList parts = contentType.split(u'/');
    if (parts.size() != 2)
        return letterFilter(parts.constFirst().trimmed().toLower());
    const QString main = parts[0].trimmed().toLower();
    QString subtype = parts[1].trimmed();
    subtype.remove(u' ');
    return candidateFor(main, subtype.toLower());
}

} // namespace papyrant
