// The platform's own opener program: the second way of opening a document or an address when the
// desktop's default handler refused.
#include "foundation/shell.h"

#include <QProcess>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

bool StartPlatformOpener(const QString &target)
{
    // Targets are absolute paths or URLs with a scheme, so the opener never takes one for an
    // option.
#if defined(Q_OS_WIN)
    return QProcess::startDetached(u"rundll32.exe"_s, {u"url.dll,FileProtocolHandler"_s, target});
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(u"open"_s, {target});
#else
    return QProcess::startDetached(u"xdg-open"_s, {target});
#endif
}

} // namespace papyrant
