#include "tools/ui/fselefilesavepath.h"

#include "foundation/ui/folderlist.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace papyrant {

FSeleFileSavePath::FSeleFileSavePath(SavePathValues &values, Prompts &prompts, QWidget *parent)
    : QDialog(parent), m_logic(values, prompts)
{
    setObjectName(QStringLiteral("fSeleFileSavePath"));
    setWindowTitle(QStringLiteral("选择下载保存路径－澄川软件"));
    // Above every other window while it is open.
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setModal(true);

    auto *label1 = new QLabel(QStringLiteral("保存到文件夹："), this);
    label1->setObjectName(QStringLiteral("Label1"));
    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setMinimumWidth(320);
    auto *command1 = new QPushButton(QStringLiteral("..."), this);
    command1->setObjectName(QStringLiteral("Command1"));
    auto *label3 = new QLabel(QStringLiteral("保存文件名为："), this);
    label3->setObjectName(QStringLiteral("Label3"));
    m_option1 = new QRadioButton(QStringLiteral("原文件名"), this);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("文章标题名称"), this);
    m_option2->setObjectName(QStringLiteral("Option2"));
    auto *command2 = new QPushButton(QStringLiteral("确定"), this);
    command2->setObjectName(QStringLiteral("Command2"));
    command2->setDefault(true);
    auto *command3 = new QPushButton(QStringLiteral("取消"), this);
    command3->setObjectName(QStringLiteral("Command3"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(m_combo1, 0, 1, 1, 2);
    grid->addWidget(command1, 0, 3);
    grid->addWidget(label3, 1, 0);
    grid->addWidget(m_option1, 1, 1);
    grid->addWidget(m_option2, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command2);
    buttons->addWidget(command3);
    grid->addLayout(buttons, 2, 0, 1, 4);

    connect(command1, &QPushButton::clicked, this, &FSeleFileSavePath::command1Click);
    connect(command2, &QPushButton::clicked, this, &FSeleFileSavePath::command2Click);
    connect(command3, &QPushButton::clicked, this, &FSeleFileSavePath::command3Click);

    m_form = m_logic.load();
    (m_form.nameFromLink ? m_option1 : m_option2)->setChecked(true);
    m_combo1->addItems(m_form.history);
    m_combo1->setEditText(m_form.folderText);
    FitDropDownWidth(m_combo1);
}

void FSeleFileSavePath::command1Click()
{
    m_combo1->setEditText(m_logic.browse(m_combo1->currentText()));
}

void FSeleFileSavePath::command2Click()
{
    m_form.folderText = m_combo1->currentText();
    m_form.nameFromLink = m_option1->isChecked();
    const bool close = m_logic.ok(m_form);
    m_combo1->setEditText(m_form.folderText);
    if (close)
        accept();
}

void FSeleFileSavePath::command3Click()
{
    m_logic.cancel();
    reject();
}

void QtSaveFolderPicker::showModal(SavePathValues &values)
{
    FSeleFileSavePath picker(values, m_prompts, m_parent);
    picker.exec();
}

} // namespace papyrant
