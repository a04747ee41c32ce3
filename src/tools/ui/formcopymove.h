#pragma once

#include "tools/copytool.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace papyrant {

class Prompts;

// The copy tool: copies the files of SourceFiles into one folder under one of five rules for
// names already taken there. The caller adds the sources, may set its own title, and shows the
// window modally.
class FormCopyMove : public QDialog
{
    Q_OBJECT
public:
    explicit FormCopyMove(Prompts &prompts, QWidget *parent = nullptr);
    ~FormCopyMove() override;

    QStringList SourceFiles;

    // Starts a run (or, during one, stops it); showMessage: "复制文件完成！" at the end.
    void 执行(bool showMessage);
    CopyRun &run() { return m_run; }
    int opIndex() const { return m_opIndex; }

    // Closing (also during a run) drops the file being copied and empties SourceFiles.
    void done(int result) override;

private:
    void command3Click();
    void runFinished(const CopyRun::Summary &summary);
    void showEnd(const CopyRun::Summary &summary);

    Prompts &m_prompts;
    CopyRun m_run;
    QString m_destinationFolder;
    int m_opIndex = 4;
    int m_vanishedBeforeStart = 0;
    bool m_showMessage = false;
    QComboBox *m_combo1 = nullptr;
    QLabel *m_label3 = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QRadioButton *m_options[6] = {};
};

} // namespace papyrant
