#include "foundation/ui/notificationsound.h"

#include "foundation/shell.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QHash>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>

namespace papyrant {

void PlayNotificationSound(int number)
{
    const QString path = NotificationSoundFile(number);
    if (path.isEmpty() || QMediaDevices::audioOutputs().isEmpty())
        return;
    // One player per clip, kept for the run: a sound still playing must not lose its player.
    static QHash<int, QPointer<QSoundEffect>> players;
    QPointer<QSoundEffect> &player = players[number];
    if (!player) {
        player = new QSoundEffect(QCoreApplication::instance());
        player->setSource(QUrl::fromLocalFile(path));
    }
    player->play();
}

} // namespace papyrant
