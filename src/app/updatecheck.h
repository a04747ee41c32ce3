#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <optional>

namespace papyrant {

class Prompts;
class uXMLHTTP;

// The value of a version text of three whole numbers joined by "." (major, minor, revision):
// major * 10,000,000 + minor * 10,000 + revision. None for any other text.
std::optional<qint64> VersionValue(const QString &text);

// The product page + "newver.txt". Empty when no site root ("更新网址") is set.
QString VersionFileUrl();
// "最新版本" and the cover's announcement: the product page in the web browser, or a note that
// no site is set.
void OpenProductPage(Prompts &prompts);

// The update check of the start-up: asks the site for the newest version once and announces
// a newer one. Without a site root it asks nothing and says nothing.
class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    UpdateCheck(uXMLHTTP *http, Prompts &prompts, const QString &ownVersion,
                QObject *parent = nullptr);

    // The longest the check may take, however the site answers (a site that drips its answer a
    // byte at a time never lets the request time out on silence). Then it counts as failed.
    void setDeadlineMs(int ms) { m_deadline.setInterval(ms); }
    void CheckForUpdate();
    // Announces the version and opens the product page when the text names a newer version
    // than our own; anything else is ignored.
    void CompareVersionText(const QString &text);

signals:
    // The announcement for the cover's Label3, "有最新版本：V1.6.0可以下载升级".
    void newVersionFound(const QString &caption);

private:
    void onArrived();
    void onError();
    void onDeadline();

    QPointer<uXMLHTTP> m_http;
    Prompts &m_prompts;
    QString m_ownVersion;
    QTimer m_deadline;
};

} // namespace papyrant
