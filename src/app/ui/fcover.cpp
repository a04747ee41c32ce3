#include "app/ui/fcover.h"

#include "app/version.h"
#include "foundation/prompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace papyrant {

namespace {

// The cover picture is drawn, not shipped: a band in the program's green with its title.
QPixmap coverPicture()
{
    QPixmap picture(360, 120);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 360, 120);
    gradient.setColorAt(0, QColor(231, 248, 237));
    gradient.setColorAt(1, QColor(120, 180, 150));
    painter.fillRect(picture.rect(), gradient);
    QFont font = painter.font();
    font.setPointSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(30, 70, 50));
    painter.drawText(picture.rect(), Qt::AlignCenter, appTitle());
    return picture;
}

} // namespace

FCover::FCover(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fCover"));
    setWindowTitle(appTitle());

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setPixmap(coverPicture());

    m_label1 = new QLabel(QStringLiteral("正在加载组件，请稍候..."), this);
    m_label1->setObjectName(QStringLiteral("Label1"));

    m_label2 = new QLabel(QStringLiteral("版本:") + versionText(), this);
    m_label2->setObjectName(QStringLiteral("Label2"));

    m_label3 = new QLabel(QStringLiteral("最新版本："), this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setCursor(Qt::PointingHandCursor);
    m_label3->setStyleSheet(QStringLiteral("color: #c00000; text-decoration: underline;"));
    m_label3->installEventFilter(this);
    m_label3->hide();

    m_label4 = new QLabel(
        QStringLiteral("(该软件仅用于爱学习的人们辅助少量下载；请不要恶意下载和大量下载！)"), this);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setWordWrap(true);

    m_command3 = new QPushButton(QStringLiteral("退出软件"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    connect(m_command3, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command3);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_image);
    layout->addWidget(m_label1);
    layout->addWidget(m_label2);
    layout->addWidget(m_label3);
    layout->addWidget(m_label4);
    layout->addLayout(buttons);

    m_label1->hide(); // the load is done by the time the window is built
}

void FCover::showNewVersion(const QString &caption)
{
    m_label3->setText(caption);
    m_label3->show();
}

bool FCover::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label3 && event->type() == QEvent::MouseButtonRelease)
        emit label3Clicked();
    return QWidget::eventFilter(watched, event);
}

void FCover::closeEvent(QCloseEvent *event)
{
    // Closing the cover ends the program, every other window with it.
    hide();
    emit closing();
    event->accept();
    QApplication::closeAllWindows();
    QApplication::quit();
}

} // namespace papyrant
