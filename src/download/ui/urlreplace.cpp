#include "download/ui/urlreplace.h"

#include "foundation/prompts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

UrlReplace::UrlReplace(ReplaceCommand replace, QWidget *parent)
    : QDialog(parent), m_replace(std::move(replace))
{
    setObjectName(u"UrlReplace"_s);
    setWindowTitle(u"网址批量替换-"_s + appTitle());

    m_label1 = new QLabel(u"所有网址中的字符串："_s, this);
    m_label1->setObjectName(u"Label1"_s);
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(u"Text1"_s);
    m_label2 = new QLabel(u"将被全部替换为字符串："_s, this);
    m_label2->setObjectName(u"Label2"_s);
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(u"Text2"_s);
    m_label1->setBuddy(m_text1);
    m_label2->setBuddy(m_text2);
    m_command1 = new QPushButton(u"替换"_s, this);
    m_command1->setObjectName(u"Command1"_s);
    m_command1->setDefault(true);
    m_command2 = new QPushButton(u"取消"_s, this);
    m_command2->setObjectName(u"Command2"_s);

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_label1, 0, 0);
    grid->addWidget(m_text1, 1, 0);
    grid->addWidget(m_label2, 2, 0);
    grid->addWidget(m_text2, 3, 0);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    grid->addLayout(buttons, 4, 0);
    setMinimumWidth(420);

    connect(m_command1, &QPushButton::clicked, this, [this] {
        if (m_replace)
            m_replace(m_text1->text(), m_text2->text(), [this] { accept(); });
    });
    connect(m_command2, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace papyrant
