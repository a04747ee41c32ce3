#pragma once

#include "download/savenames.h"
#include "download/transfermethods.h"
#include "transfer/transferend.h"

#include <QObject>
#include <QString>
#include <array>

namespace papyrant {

class DownloadSession;
class Downloader;

// What the method switch (Command26 "切换") shows after a click.
struct MethodSwitch
{
    int method = 2;
    QString label;      // Label7
    QString threadText; // Combo1
    bool threadEnabled = true;
};
MethodSwitch 切换下载方式(int currentMethod);

// Download method two: up to six Downloaders at once, one per slot 1..6. Their events find
// their row through SlotRows by position, as long as the row there is still the one started
// in the slot; a row that moved is followed by its key, and a row that went is not replaced by
// whatever row took its position.
class MethodTwo : public QObject, public MethodTwoTransfers
{
    Q_OBJECT
public:
    static constexpr int MaxSlots = 6;

    explicit MethodTwo(DownloadSession &session, QObject *parent = nullptr);
    ~MethodTwo() override;

    void 多线程下载(int slot, int position, const QString &url, const QString &path) override;
    bool isLoaded(int slot) const override;
    void unload(int slot) override;

    Downloader *downloader(int slot) const;

    // The event handlers of Downloader1, by element index (index 0 changes nothing).
    void DownloadProgress(int index, qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    void DownloadComplete(int index, qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    void DownloadError(int index, const QString &MissCode, const QString &SaveFile);
    // Bytes on disk of a body of any length, for the size limit.
    void BodyWritten(int index, qint64 bytes, const QString &SaveFile);

private:
    int rowOf(int index);
    void skipTooLarge(int index, int position);
    TransferEnd endOf(int index, TransferEnd::State state, const QString &reason = {}) const;

    DownloadSession &m_session;
    std::array<Downloader *, MaxSlots + 1> m_slots{};
    std::array<QString, MaxSlots + 1> m_keys; // the key of the row started in each slot
    std::array<SaveNames::Reservation, MaxSlots + 1> m_names; // each slot's save name
};

} // namespace papyrant
