#pragma once

#include <QObject>
#include <memory>

namespace papyrant {

class FCover;

// The program's windows and the ways between them. The cover lives for the whole run; the
// search window and the download window are made on first use. The windows of the lower
// modules know neither each other nor the dialogs of this module: each gets the few calls it
// needs from here when it is made, so that no library depends on one above it.
class ProgramWindows : public QObject
{
    Q_OBJECT
public:
    explicit ProgramWindows(QObject *parent = nullptr);
    ~ProgramWindows() override;

    FCover *cover() const { return m_cover.get(); }

    // After a main window has closed: the cover comes back when neither main window is left.
    void showCoverIfNoMainWindow();

private:
    std::unique_ptr<FCover> m_cover;
};

} // namespace papyrant
