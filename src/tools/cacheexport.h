#pragma once

#include "tools/cacheviewer.h"
#include "tools/guardedfolder.h"

#include <QObject>
#include <QPair>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace papyrant {

class BodyExtraction;

// "复制选中...": the selected rows' files made plain files in a folder of the program's own, for
// the copy tool to take from: a "我的缓存" entry's body decoded (refused once it passes the
// limit), a file of a user's cache folder copied as it is. Each is opened through its guarded
// cache folder, so a file that is, or has become, a link, or lies under a folder that has, is
// passed over and counted. The work goes a piece at a time, and the window stays responsive
// between the pieces.
class CacheExport : public QObject
{
    Q_OBJECT
public:
    struct Summary
    {
        QStringList files;    // the plain files, in the rows' order
        int links = 0;        // a link, or under one: not copied
        QStringList tooLarge; // names of bodies that decode to more than the limit
        int unreadable = 0;   // gone, damaged, or in an encoding not known
        int failed = 0;       // could not be written
    };

    explicit CacheExport(QObject *parent = nullptr);
    ~CacheExport() override;

    // Bytes read and written per turn of the event loop.
    void setPieceBytes(qint64 bytes) { m_pieceBytes = bytes; }

    // rows: from the viewer's list; stageFolder: an empty folder of the program's own; limit:
    // the bytes a decoded body may have.
    void start(const CacheViewer &viewer, const QList<CacheRow> &rows, const QString &stageFolder,
               qint64 limit);
    bool isRunning() const { return m_running; }
    // The file being written is dropped (nothing of it stays); finished() follows.
    void abandon();
    const Summary &summary() const { return m_summary; }

signals:
    // Position (1-based) and count of the files, and the name of the one whose turn it is.
    void fileStarted(int position, int count, const QString &name);
    void finished();

private:
    void step();
    void beginFile();
    void endFile();
    void finish();

    QList<QPair<GuardedFolder, CacheRow>> m_jobs;
    QString m_stageFolder;
    qint64 m_limit = 0;
    qint64 m_pieceBytes = 1024 * 1024;
    int m_index = -1;
    bool m_running = false;
    QString m_name;   // of the current file
    QString m_target; // where it is being written
    std::unique_ptr<BodyExtraction> m_current;
    Summary m_summary;
    QTimer m_tick;
};

} // namespace papyrant
