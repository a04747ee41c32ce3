#include "app/updatecheck.h"

#include "foundation/makerpages.h"
#include "foundation/prompts.h"
#include "foundation/shell.h"
#include "transfer/uxmlhttp.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

std::optional<qint64> VersionValue(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 3)
        return std::nullopt;
    qint64 numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QString part = parts[i].trimmed();
        bool ok = part.size() <= 9 && !part.isEmpty();
        for (QChar c : part)
            ok = ok && c >= u'0' && c <= u'9';
        if (!ok)
            return std::nullopt;
        numbers[i] = part.toLongLong();
    }
    return numbers[0] * 10000000 + numbers[1] * 10000 + numbers[2];
}

QString VersionFileUrl()
{
    return UpdateSiteRoot().isEmpty() ? QString() : LatestVersionPage() + u"newver.txt"_s;
}

void OpenProductPage(Prompts &prompts)
{
    // Without a site of its own the program has no page to show.
    if (UpdateSiteRoot().isEmpty()) {
        prompts.message(u"没有设置更新网址（设置项 [设置] 更新网址）。"_s,
                        Prompts::Icon::Information);
        return;
    }
    OpenWebPage(LatestVersionPage(), false);
}

UpdateCheck::UpdateCheck(uXMLHTTP *http, Prompts &prompts, const QString &ownVersion,
                         QObject *parent)
    : QObject(parent), m_http(http), m_prompts(prompts), m_ownVersion(ownVersion)
{
    connect(http, &uXMLHTTP::OnDateArrived, this, &UpdateCheck::onArrived);
    connect(http, &uXMLHTTP::OnDateErr, this, &UpdateCheck::onError);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(60000);
    connect(&m_deadline, &QTimer::timeout, this, &UpdateCheck::onDeadline);
}

void UpdateCheck::CheckForUpdate()
{
    const QString url = VersionFileUrl();
    if (url.isEmpty() || !m_http)
        return;
    // A site root that is not a web address asks nothing either.
    if (m_http->Open_(u"GET"_s, url)) {
        m_http->Send_();
        m_deadline.start();
    }
}

void UpdateCheck::onDeadline()
{
    if (!m_http || m_http->DownOK())
        return;
    m_http->Abort_(); // no event of the request follows
    onError();
}

void UpdateCheck::onArrived()
{
    m_deadline.stop();
    // Trimmed of line breaks too: a version file saved by an editor ends in one.
    const QString text = m_http->ResponseText().trimmed();
    if (!text.isEmpty() && text.size() < 11)
        CompareVersionText(text);
}

void UpdateCheck::onError()
{
    m_deadline.stop();
    m_prompts.message(u"请保持网络畅通！"_s, Prompts::Icon::Error);
}

void UpdateCheck::CompareVersionText(const QString &text)
{
    const std::optional<qint64> remote = VersionValue(text);
    const std::optional<qint64> own = VersionValue(m_ownVersion);
    if (!remote || !own || *remote <= *own)
        return;
    emit newVersionFound(u"有最新版本：V"_s + text + u"可以下载升级"_s);
    OpenProductPage(m_prompts);
}

} // namespace papyrant
