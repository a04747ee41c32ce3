#include "tools/ui/formcopymove.h"

#include "foundation/filenames.h"
#include "foundation/fileutil.h"
#include "foundation/programfolder.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "foundation/shell.h"
#include "foundation/ui/folderlist.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

FormCopyMove::FormCopyMove(Prompts &prompts, QWidget *parent) : QDialog(parent), m_prompts(prompts)
{
    setObjectName(u"Form_Copy_Move"_s);
    setWindowTitle(u"复制文件..."_s);
    setModal(true);

    auto *label1 = new QLabel(u"目的文件夹："_s, this);
    label1->setObjectName(u"Label1"_s);
    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(u"Combo1"_s);
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setMinimumWidth(360);
    auto *command3 = new QPushButton(u"浏览"_s, this);
    command3->setObjectName(u"Command3"_s);

    auto *frame1 = new QGroupBox(u"如果同名文件已经存在"_s, this);
    frame1->setObjectName(u"Frame1"_s);
    auto *rules = new QVBoxLayout(frame1);
    const QString captions[] = {
        u"跳过"_s,
        u"覆盖"_s,
        u"自动重命名"_s,
        u"文件大小和修改时间均相同：覆盖；否则：自动重命名"_s,
        u"文件大小相同：覆盖；否则：自动重命名"_s,
    };
    for (int i = 1; i <= 5; ++i) {
        m_options[i] = new QRadioButton(captions[i - 1], frame1);
        m_options[i]->setObjectName(u"Option1("_s + QString::number(i) + u')');
        rules->addWidget(m_options[i]);
        connect(m_options[i], &QRadioButton::clicked, this, [this, i] { m_opIndex = i; });
    }

    auto *label4 = new QLabel(u"当前文件："_s, this);
    label4->setObjectName(u"Label4"_s);
    m_label3 = new QLabel(this);
    m_label3->setObjectName(u"Label3"_s);
    auto *label2 = new QLabel(u"进度;"_s, this);
    label2->setObjectName(u"Label2"_s);
    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(u"ProgressBar1"_s);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setRange(0, 1);
    m_progressBar1->setValue(0);

    m_command1 = new QPushButton(u"开始"_s, this);
    m_command1->setObjectName(u"Command1"_s);
    m_command1->setDefault(true);
    auto *command2 = new QPushButton(u"关闭"_s, this);
    command2->setObjectName(u"Command2"_s);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(command3, 0, 2);
    grid->addWidget(frame1, 1, 0, 1, 3);
    grid->addWidget(label4, 2, 0);
    grid->addWidget(m_label3, 2, 1, 1, 2);
    grid->addWidget(label2, 3, 0);
    grid->addWidget(m_progressBar1, 3, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(command2);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(command3, &QPushButton::clicked, this, &FormCopyMove::command3Click);
    connect(m_command1, &QPushButton::clicked, this, [this] { 执行(true); });
    connect(command2, &QPushButton::clicked, this, &QDialog::close);
    connect(&m_run, &CopyRun::fileStarted, this, [this](int position, const QString &name) {
        m_progressBar1->setValue(position);
        m_label3->setText(name);
    });
    connect(&m_run, &CopyRun::finished, this, &FormCopyMove::runFinished);

    // Load.
    LoadFolderHistory(m_combo1, FolderHistoryPath());
    m_destinationFolder = QDir::fromNativeSeparators(GetSetting(setting::CopyDestination));
    FitDropDownWidth(m_combo1);
    m_combo1->setEditText(QDir::toNativeSeparators(m_destinationFolder));
    m_opIndex = GetSettingInt(setting::CopyRule);
    // A stored rule outside 1 to 5 selects none: clashes are passed over until one is chosen.
    if (m_opIndex >= 1 && m_opIndex <= 5)
        m_options[m_opIndex]->setChecked(true);
}

FormCopyMove::~FormCopyMove()
{
    m_run.abandon();
}

void FormCopyMove::command3Click()
{
    const QString chosen = BrowseForFolder(
        m_prompts, QDir::fromNativeSeparators(m_combo1->currentText()), u"请选择要浏览的文件夹:"_s);
    m_combo1->setEditText(QDir::toNativeSeparators(chosen.isEmpty() ? chosen : withSlash(chosen)));
}

void FormCopyMove::执行(bool showMessage)
{
    // A press during a run stops it; the current file is finished first.
    if (m_run.isRunning()) {
        m_command1->setText(u"开始"_s);
        m_run.stop();
        return;
    }
    const QString typed = QDir::fromNativeSeparators(m_combo1->currentText().trimmed());
    const QString created = typed.isEmpty() ? QString() : CreateFolderPath(typed, m_prompts);
    m_combo1->setEditText(QDir::toNativeSeparators(created));
    if (created.isEmpty()) {
        m_prompts.message(u"创建文件夹出错！"_s, Prompts::Icon::Error);
        return;
    }
    m_destinationFolder = withSlash(created);
    m_combo1->setEditText(QDir::toNativeSeparators(m_destinationFolder));
    SaveSetting(setting::CopyDestination, m_destinationFolder);
    SaveSetting(setting::CopyRule, m_opIndex);

    const QString shown = QDir::toNativeSeparators(m_destinationFolder);
    bool listed = false;
    for (int i = 0; i < m_combo1->count() && !listed; ++i)
        listed = m_combo1->itemText(i).compare(shown, Qt::CaseInsensitive) == 0;
    if (!listed)
        m_combo1->addItem(shown);
    m_combo1->setEditText(shown);
    SaveFolderHistory(m_combo1, FolderHistoryPath());
    m_label3->clear();

    // Sources gone since the caller listed them (a cache entry removed meanwhile) are counted,
    // not reported one by one.
    QStringList sources;
    m_vanishedBeforeStart = 0;
    for (const QString &source : std::as_const(SourceFiles)) {
        if (FileExists(source) && !QFileInfo(source).isHidden())
            sources << source;
        else
            ++m_vanishedBeforeStart;
    }
    SourceFiles = sources;
    m_showMessage = showMessage;
    if (SourceFiles.isEmpty()) {
        if (m_vanishedBeforeStart > 0 && showMessage)
            showEnd({});
        return;
    }
    m_command1->setText(u"停止"_s);
    m_progressBar1->setRange(0, int(SourceFiles.size()) + 1);
    m_progressBar1->setValue(0);
    m_run.start(SourceFiles, m_destinationFolder, m_opIndex);
}

void FormCopyMove::runFinished(const CopyRun::Summary &summary)
{
    m_progressBar1->setValue(0);
    m_label3->clear();
    m_command1->setText(u"开始"_s);
    if (m_showMessage)
        showEnd(summary);
}

void FormCopyMove::showEnd(const CopyRun::Summary &summary)
{
    QString text = u"复制文件完成！"_s;
    const int vanished = summary.vanished + m_vanishedBeforeStart;
    if (vanished > 0)
        text += u"\n有 "_s + QString::number(vanished) + u" 个文件已不存在，已跳过。"_s;
    if (summary.failed > 0)
        text += u"\n有 "_s + QString::number(summary.failed) + u" 个文件复制失败。"_s;
    m_prompts.message(text, Prompts::Icon::Information);
}

void FormCopyMove::done(int result)
{
    // Closed during a run: the file being copied is dropped, nothing half-copied stays.
    m_run.abandon();
    m_command1->setText(u"开始"_s);
    SourceFiles.clear();
    QDialog::done(result);
}

} // namespace papyrant
