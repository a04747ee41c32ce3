#include "app/ui/fcover.h"

#include "app/browseremulation.h"
#include "app/version.h"
#include "foundation/programvalues.h"
#include "foundation/prompts.h"
#include "foundation/systeminfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace papyrant {

namespace {

const QColor paleGreen(231, 248, 237);
const QColor deepGreen(30, 70, 50);

// The cover picture is drawn, not shipped: a band in the program's green with its title.
QPixmap coverPicture()
{
    QPixmap picture(360, 120);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 360, 120);
    gradient.setColorAt(0, paleGreen);
    gradient.setColorAt(1, QColor(120, 180, 150));
    painter.fillRect(picture.rect(), gradient);
    QFont font = painter.font();
    font.setPointSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(deepGreen);
    painter.drawText(picture.rect(), Qt::AlignCenter, appTitle());
    return picture;
}

QPixmap iconPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(60, 140, 100));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    QFont font = painter.font();
    font.setPixelSize(size * 2 / 3);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(paleGreen);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("澄"));
    return picture;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(iconPicture(size));
    return icon;
}

FCover::FCover(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fCover"));
    setWindowTitle(appTitle());
    setWindowIcon(programIcon());

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

    m_command1 = new QPushButton(QStringLiteral("文献检索下载"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, [this] {
        hide();
        emit searchWindowRequested();
    });

    m_command3 = new QPushButton(QStringLiteral("退出软件"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    connect(m_command3, &QPushButton::clicked, this, &QWidget::close);

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setSingleShot(true);
    m_timer1.setInterval(100);
    connect(&m_timer1, &QTimer::timeout, this, [this] {
        m_timer1.stop();
        emit updateCheckDue();
    });

    // Room around the captions: the default button's frame would otherwise touch its text.
    for (QPushButton *button : {m_command1, m_command3})
        button->setMinimumWidth(button->sizeHint().width() + 24);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command3);

    auto *text = new QVBoxLayout;
    text->setContentsMargins(8, 4, 8, 8);
    text->addWidget(m_label1);
    text->addWidget(m_label2);
    text->addWidget(m_label3);
    text->addWidget(m_label4);
    text->addSpacing(6);
    text->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->addWidget(m_image);
    layout->addLayout(text);
    layout->setSizeConstraint(QLayout::SetFixedSize); // the window is as wide as its picture
}

void FCover::load()
{
    setWindowTitle(appTitle());
    m_label2->setText(QStringLiteral("版本:") + versionText());
    m_label1->show();
    showCentredOn(QGuiApplication::primaryScreen());
    QCoreApplication::processEvents();
    ComputeSystemDescription();
    SetBrowserEmulation(QStringLiteral("IE10"), true);
    m_timer1.start();
    LoadMaxFileSizeMB();
    m_label1->hide();
}

void FCover::showCentredOn(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        // The window's size is fixed by its layout; the frame the desktop adds is left out.
        adjustSize();
        QRect placed(QPoint(), size());
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    show();
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
    // Closing the cover ends the program, by Command3 or by the title-bar button alike.
    event->accept();
    if (m_unloading)
        return;
    m_unloading = true;
    hide();
    emit unloading();
}

} // namespace papyrant
