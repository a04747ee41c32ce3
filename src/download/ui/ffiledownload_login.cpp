// The login panel PicWebBK of the download window and its browser Web1.
#include "download/ui/ffiledownload.h"

#include "browser/ui/webenginebrowser.h"
#include "download/downloadsession.h"
#include "download/loginpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

template<typename W> W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

QWidget *FFileDownload::buildLoginPanel()
{
    m_login = std::make_unique<LoginPanel>(*m_session, *m_prompts);
    LoginPanel *login = m_login.get();

    m_picWebBK = named(new QWidget, u"PicWebBK"_s);
    m_picWebBK->setAutoFillBackground(true);
    QWidget *panel = m_picWebBK;

    auto *label6 = named(new QLabel(u"网址："_s, panel), u"Label6"_s);
    auto *text1 = named(new QLineEdit(panel), u"Text1"_s);
    label6->setBuddy(text1);
    auto *command2 = named(new QPushButton(u"浏览"_s, panel), u"Command2"_s);
    auto *option4 = named(new QRadioButton(u"帐号登录："_s, panel), u"Option4"_s);
    option4->setChecked(true);
    auto *text2 = named(new QLineEdit(panel), u"Text2"_s);
    auto *label10 = named(new QLabel(u"密码："_s, panel), u"Label10"_s);
    // Masked, so that the password cannot be read off the screen or a screenshot; "显示" shows
    // it while ticked. Copying it out of a masked box is not possible either.
    auto *text3 = named(new QLineEdit(panel), u"Text3"_s);
    text3->setEchoMode(QLineEdit::Password);
    label10->setBuddy(text3);
    auto *showPassword = named(new QCheckBox(u"显示"_s, panel), u"ShowPassword"_s);
    showPassword->setToolTip(u"显示密码"_s);
    auto *option5 = named(new QRadioButton(u"IP登录"_s, panel), u"Option5"_s);
    auto *label11 = named(new QLabel(u"自动登录条件："_s, panel), u"Label11"_s);
    auto *combo3 = named(new QComboBox(panel), u"Combo3"_s);
    combo3->addItem(u"下载到网页文件(htm/html/asp)文件"_s);
    combo3->setCurrentIndex(0);
    label11->setBuddy(combo3);
    m_check2 = named(new QCheckBox(u"自动登录"_s, panel), u"Check2"_s);
    auto *check1 = named(new QCheckBox(u"自动刷新(每分钟)"_s, panel), u"Check1"_s);
    auto *command5 = named(new QPushButton(u"测试登录"_s, panel), u"Command5"_s);
    auto *command3 = named(new QPushButton(u"关闭(隐藏)"_s, panel), u"Command3"_s);

    auto *row1 = new QHBoxLayout;
    row1->addWidget(label6);
    row1->addWidget(text1, 1);
    row1->addWidget(command2);
    auto *row2 = new QHBoxLayout;
    row2->addWidget(option4);
    row2->addWidget(text2, 1);
    row2->addSpacing(12);
    row2->addWidget(label10);
    row2->addWidget(text3, 1);
    row2->addWidget(showPassword);
    row2->addSpacing(12);
    row2->addWidget(option5);
    auto *row3 = new QHBoxLayout;
    row3->addWidget(label11);
    row3->addWidget(combo3);
    row3->addSpacing(12);
    row3->addWidget(m_check2);
    row3->addWidget(check1);
    row3->addStretch();
    row3->addWidget(command5);
    row3->addWidget(command3);

    auto *controls = new QVBoxLayout;
    controls->setContentsMargins(6, 6, 6, 0);
    controls->addLayout(row1);
    controls->addLayout(row2);
    controls->addLayout(row3);
    // Web1 comes into this place when it is first needed: below the controls, from the left
    // edge, keeping a small margin at the right and the bottom.
    m_web1Area = new QVBoxLayout;
    m_web1Area->setContentsMargins(0, 0, 3, 3);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addLayout(m_web1Area, 1);
    m_picWebBK->hide();

    login->makeBrowser = [this]() -> Browser * {
        auto *browser = new WebEngineBrowser(nullptr, m_login.get()); // the program's profile
        QWebEngineView *view = browser->view();
        view->setObjectName(u"Web1"_s);
        m_web1Area->addWidget(view);
        return browser;
    };

    connect(text1, &QLineEdit::textChanged, login,
            [login](const QString &t) { login->fields.url = t; });
    connect(text2, &QLineEdit::textChanged, login,
            [login](const QString &t) { login->fields.account = t; });
    connect(text3, &QLineEdit::textChanged, login,
            [login](const QString &t) { login->fields.password = t; });
    connect(showPassword, &QCheckBox::toggled, text3, [text3](bool shown) {
        text3->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    connect(option5, &QRadioButton::toggled, login,
            [login](bool on) { login->fields.ipLogin = on; });
    connect(check1, &QCheckBox::toggled, login, &LoginPanel::自动刷新);
    // Only a click of the user is checked; the panel itself clears the box after a refusal.
    connect(m_check2, &QCheckBox::clicked, this, [this](bool ticked) {
        if (!m_login->自动登录(ticked))
            m_check2->setChecked(false);
        m_session->options.autoLogin = m_check2->isChecked();
    });
    connect(login, &LoginPanel::autoLoginCleared, m_check2,
            [this] { m_check2->setChecked(false); });
    connect(command2, &QPushButton::clicked, login, &LoginPanel::浏览);
    connect(login, &LoginPanel::browseEnabledChanged, command2, &QWidget::setEnabled);
    connect(command5, &QPushButton::clicked, login, [login] { login->FillAndSubmitLogin(true); });
    connect(login, &LoginPanel::testLoginEnabledChanged, command5, &QWidget::setEnabled);
    connect(command3, &QPushButton::clicked, this, [this] {
        m_picWebBK->hide();
        m_login->关闭隐藏();
    });
    return m_picWebBK;
}

void FFileDownload::showLoginPanel()
{
    m_picWebBK->show();
    m_picWebBK->raise();
    m_login->网页登录(selectedPosition());
}

} // namespace papyrant
