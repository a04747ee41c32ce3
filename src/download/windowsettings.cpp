#include "download/windowsettings.h"

#include "foundation/settings.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

QString sameNameCaption(SameNameRule rule)
{
    switch (rule) {
    case SameNameRule::Skip: return u"跳过"_s;
    case SameNameRule::Overwrite: return u"覆盖"_s;
    case SameNameRule::Rename: break;
    }
    return u"重命名"_s;
}

SameNameRule sameNameFromCaption(const QString &caption)
{
    const QString text = caption.trimmed();
    if (text == u"跳过"_s)
        return SameNameRule::Skip;
    if (text == u"覆盖"_s)
        return SameNameRule::Overwrite;
    return SameNameRule::Rename;
}

DownloadWindowSettings ReadDownloadWindowSettings()
{
    DownloadWindowSettings s;
    // The scheduler knows two methods; a stored number other than 1 runs (and shows) method two.
    s.method = GetSettingInt(setting::DownloadMethod) == 1 ? 1 : 2;
    if (s.method == 2) {
        const int index = GetSettingInt(setting::ThreadIndex);
        s.threadIndex = index >= 0 && index <= 5 ? index : -1;
    }
    s.sameName = sameNameFromCaption(GetSetting(setting::DuplicateNamePolicy));
    s.proxy = ReadProxySettings();
    s.maxFileSizeMB = GetSettingNumber(setting::MaxFileSizeMB);
    s.reasonColumnShown = GetSettingInt(setting::ReasonColumnShown) == 1;
    s.perHostLimit = ReadPerHostLimit();
    return s;
}

int ReadPerHostLimit()
{
    const int limit = GetSettingInt(setting::PerHostDownloads);
    return limit >= 1 && limit <= 6 ? limit : setting::PerHostDownloads.defaultValue().toInt();
}

void SavePerHostLimit(int limit)
{
    SaveSetting(setting::PerHostDownloads, std::clamp(limit, 1, 6));
}

void SaveSameNameAndMethod(SameNameRule rule, int method)
{
    SaveSetting(setting::DuplicateNamePolicy, sameNameCaption(rule));
    SaveSetting(setting::DownloadMethod, method);
}

void SaveThreadIndex(int index)
{
    SaveSetting(setting::ThreadIndex, index);
}

void SaveReasonColumnShown(bool shown)
{
    SaveSetting(setting::ReasonColumnShown, shown);
}

} // namespace papyrant
