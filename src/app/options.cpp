#include "app/options.h"

#include "download/windowsettings.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "search/serviceprofile.h"

#include <QLocale>
#include <QtNumeric>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

bool isPortNumber(const QString &text)
{
    bool ok = !text.isEmpty();
    for (QChar c : text)
        ok = ok && c >= u'0' && c <= u'9';
    return ok && text.size() <= 5 && text.toInt() <= 65535;
}

} // namespace

OptionValues LoadOptionValues()
{
    OptionValues values;
    values.downloadMethod = GetSettingInt(setting::DownloadMethod);
    values.proxy = ReadProxySettings();
    values.maxFileSizeMB = GetSettingNumber(setting::MaxFileSizeMB);
    values.perHostLimit = ReadPerHostLimit();
    values.promptSavePathOnExtract = GetSettingInt(setting::PromptSavePathOnExtract);
    values.serviceProfile = GetSetting(setting::ServiceProfileId);
    values.updateSiteRoot = GetSetting(setting::UpdateSiteRoot);
    values.apiAppId = GetSetting(setting::ApiAppId);
    return values;
}

OptionForm FormFromValues(const OptionValues &values)
{
    OptionForm form;
    form.method =
        values.downloadMethod == 1 || values.downloadMethod == 2 ? values.downloadMethod : 0;
    form.proxyOn = values.proxy.enabled;
    form.proxyAddress = values.proxy.host;
    form.proxyPort = values.proxy.port;
    form.sizeLimitText = SizeLimitText(values.maxFileSizeMB);
    form.perHostLimit = std::clamp(values.perHostLimit, 1, 6);
    form.promptSavePath = values.promptSavePathOnExtract == 1;
    form.serviceProfile = values.serviceProfile;
    form.updateSiteRoot = values.updateSiteRoot;
    form.apiAppId = values.apiAppId;
    return form;
}

QList<ServiceChoice> ServiceChoices()
{
    QList<ServiceChoice> choices;
    for (const ServiceProfile &p : LoadServiceProfiles(settingsFolder()).profiles)
        choices.append({p.id, p.name});
    return choices;
}

std::optional<double> ParseSizeLimit(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok || !qIsFinite(value) || value <= 0)
        return std::nullopt;
    return value;
}

QString SizeLimitText(double megabytes)
{
    return QString::number(megabytes, 'g', 15);
}

std::optional<OptionValues> SaveOptions(const OptionForm &form, const OptionValues &current,
                                        Prompts &prompts)
{
    // Checked first, so that a refused limit leaves every stored value as it was.
    const std::optional<double> size = ParseSizeLimit(form.sizeLimitText);
    if (!size) {
        prompts.message(u"下载文件大小必须是大于0的数字！"_s, Prompts::Icon::Error);
        return std::nullopt;
    }
    OptionValues values = current;
    if (form.method == 1 || form.method == 2)
        values.downloadMethod = form.method;
    SaveSetting(setting::DownloadMethod, values.downloadMethod);

    values.proxy.enabled = form.proxyOn;
    SaveSetting(setting::ProxyEnabled, form.proxyOn ? 1 : 0);
    values.proxy.host = form.proxyAddress.trimmed();
    SaveSetting(setting::ProxyAddress, values.proxy.host);
    values.proxy.port = form.proxyPort.trimmed();
    SaveSetting(setting::ProxyPort, values.proxy.port);
    if (values.proxy.enabled && (values.proxy.host.isEmpty() || !isPortNumber(values.proxy.port)))
        prompts.message(u"代理服务器网址或者端口格式不对！"_s, Prompts::Icon::Error);

    values.promptSavePathOnExtract = form.promptSavePath ? 1 : 0;
    SaveSetting(setting::PromptSavePathOnExtract, values.promptSavePathOnExtract);

    values.maxFileSizeMB = *size;
    SaveSetting(setting::MaxFileSizeMB, SizeLimitText(*size));

    values.perHostLimit = std::clamp(form.perHostLimit, 1, 6);
    SavePerHostLimit(values.perHostLimit);

    if (!form.serviceProfile.isEmpty())
        values.serviceProfile = form.serviceProfile;
    SaveSetting(setting::ServiceProfileId, values.serviceProfile);

    values.updateSiteRoot = form.updateSiteRoot.trimmed();
    SaveSetting(setting::UpdateSiteRoot, values.updateSiteRoot);
    // Pasted from the registration mail, it may bring spaces or a line break along.
    values.apiAppId = form.apiAppId.trimmed();
    SaveSetting(setting::ApiAppId, values.apiAppId);
    return values;
}

} // namespace papyrant
