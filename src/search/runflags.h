#pragma once

#include <QObject>

namespace papyrant {

// The run flags of the search window, shared by extraction, the add-all walk, analysis and the
// batch search. Every change is signalled, so that a waiting loop wakes at once.
class SearchRunFlags : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool AnalysisStopped() const { return m_analysisStopped; }
    bool AddAllStopped() const { return m_addAllStopped; }
    bool BatchStopped() const { return m_batchStopped; }
    bool Blocked() const { return m_blocked; }
    bool PageLoading() const { return m_pageLoading; }
    // True while a batch search runs (its button reads "停止批量搜索").
    bool BatchRunning() const { return m_batchRunning; }
    // A batch stop is requested: a batch runs and BatchStopped is set.
    bool batchStopRequested() const { return m_batchRunning && m_batchStopped; }

    void setAnalysisStopped(bool on) { set(m_analysisStopped, on); }
    void setAddAllStopped(bool on) { set(m_addAllStopped, on); }
    void setBatchStopped(bool on) { set(m_batchStopped, on); }
    void setBlocked(bool on) { set(m_blocked, on); }
    void setPageLoading(bool on) { set(m_pageLoading, on); }
    void setBatchRunning(bool on) { set(m_batchRunning, on); }

signals:
    void changed();

private:
    void set(bool &flag, bool on)
    {
        if (flag == on)
            return;
        flag = on;
        emit changed();
    }

    bool m_analysisStopped = true;
    bool m_addAllStopped = true;
    bool m_batchStopped = true;
    bool m_blocked = false;
    bool m_pageLoading = false;
    bool m_batchRunning = false;
};

} // namespace papyrant
