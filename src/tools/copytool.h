#pragma once

#include "foundation/filecopy.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace papyrant {

// The name-clash rules of the copy tool, by their option index.
enum class ClashRule {
    Skip = 1,                       // "跳过"
    Overwrite = 2,                  // "覆盖"
    Rename = 3,                     // "自动重命名"
    OverwriteIfSameSizeAndTime = 4, // "文件大小和修改时间均相同：覆盖；否则：自动重命名"
    OverwriteIfSameSize = 5, // "文件大小相同：覆盖；否则：自动重命名"
};

// What the copy of one source into the destination folder does.
struct CopyPlan
{
    enum Action {
        PassOver,  // already in the destination folder, or a clash the rule skips
        CopyNew,   // no file of that name yet
        Overwrite, // the existing file is replaced, in one step
        Rename,    // copied under the next free numbered name
    } action = PassOver;
    QString target;
};

// Decides one file by the rule `opIndex` (1 to 5; any other index passes clashes over).
// destFolder ends in "/".
CopyPlan PlanCopy(const QString &source, const QString &destFolder, int opIndex);

// A copy run of the copy tool: the sources one after another, each copied in pieces between
// which the window stays responsive, each put in place whole or not at all.
class CopyRun : public QObject
{
    Q_OBJECT
public:
    struct Summary
    {
        int copied = 0;
        int passedOver = 0;
        int vanished = 0; // gone (or hidden) by the time its turn came
        int failed = 0;
        bool stopped = false;
    };

    explicit CopyRun(QObject *parent = nullptr);
    ~CopyRun() override;

    // Bytes copied per turn of the event loop.
    void setPieceBytes(qint64 bytes) { m_pieceBytes = bytes; }

    void start(const QStringList &sources, const QString &destFolder, int opIndex);
    bool isRunning() const { return m_running; }
    // Bytes of the current file copied so far (0 between files).
    qint64 currentBytes() const { return m_copy ? m_copy->copied() : 0; }
    // "停止": the current file is finished, the rest passed over.
    void stop();
    // The window goes: the current file is dropped unfinished (nothing of it stays), no signal.
    void abandon();

signals:
    // Position (1-based) and name of the file whose turn it is.
    void fileStarted(int position, const QString &targetName);
    void finished(const papyrant::CopyRun::Summary &summary);

private:
    void step();
    void beginFile();
    void endFile();
    void finish();

    QStringList m_sources;
    QString m_destFolder;
    int m_opIndex = 0;
    int m_index = -1;
    bool m_running = false;
    bool m_stopAsked = false;
    qint64 m_pieceBytes = 4 * 1024 * 1024;
    std::unique_ptr<FileCopy> m_copy;
    Summary m_summary;
    QTimer m_tick;
};

} // namespace papyrant
