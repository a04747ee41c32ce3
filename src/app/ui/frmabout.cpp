#include "app/ui/frmabout.h"

#include "app/ui/fcover.h"
#include "app/usagenotes.h"
#include "app/version.h"
#include "foundation/makerpages.h"
#include "foundation/prompts.h"
#include "foundation/shell.h"
#include "foundation/systeminfo.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace papyrant {

namespace {

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QString link(const QString &address, const QString &caption)
{
    return QStringLiteral("<a href=\"") + address.toHtmlEscaped() + QStringLiteral("\">")
           + caption.toHtmlEscaped() + QStringLiteral("</a>");
}

} // namespace

QString SystemInformationProgram()
{
    // The desktops' own system-information tools, in the order they are most telling.
    for (const char *program :
         {"hardinfo", "kinfocenter", "gnome-system-monitor", "xfce4-taskmanager"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

FrmAbout::FrmAbout(Prompts &prompts, QWidget *parent) : QDialog(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于-") + appTitle());
    setWindowIcon(programIcon());

    auto *icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(64, 64));
    auto *title = label(QStringLiteral("lblTitle"), appTitle(), this);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    auto *version =
        label(QStringLiteral("lblVersion"), QStringLiteral("版本:") + versionText(), this);
    auto *description =
        label(QStringLiteral("lblDescription"),
              QStringLiteral("CiNii 文献检索、开放获取全文收集与批量下载工具"), this);
    // Only pages there are: the makers' with the program's own page, the newest version with
    // it or with an update address.
    QStringList links;
    if (!ProjectPage().isEmpty())
        links << link(MakerSitePage(), QStringLiteral("澄川软件"))
              << link(PartnerSitePage(), QStringLiteral("禾屿软件"));
    if (!LatestVersionPage().isEmpty())
        links << link(LatestVersionPage(), QStringLiteral("最新版本"));
    auto *pages = label(QStringLiteral("lblPages"), links.join(QStringLiteral("　")), this);
    pages->setVisible(!links.isEmpty());
    pages->setTextFormat(Qt::RichText);
    pages->setTextInteractionFlags(Qt::TextBrowserInteraction);
    pages->setOpenExternalLinks(false);
    connect(pages, &QLabel::linkActivated, this,
            [](const QString &address) { OpenWebPage(address, true); });
    auto *note = label(
        QStringLiteral("lblNote"),
        QStringLiteral("(该软件仅用于爱学习的人们辅助少量下载；请不要恶意下载和大量下载！)"), this);
    note->setWordWrap(true);

    auto *systemInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    systemInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(systemInfo, &QPushButton::clicked, this, &FrmAbout::showSystemInformation);
    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addWidget(description);
    text->addWidget(pages);
    text->addWidget(note);
    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(systemInfo);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

void FrmAbout::showSystemInformation()
{
    // The desktop's tool where there is one; otherwise what the program knows of the system.
    const QString program = SystemInformationProgram();
    if (!program.isEmpty() && QProcess::startDetached(program, {}))
        return;
    m_prompts.message(QStringLiteral("操作系统：") + SystemDescription(),
                      Prompts::Icon::Information);
}

FUse::FUse(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fUse"));
    setWindowTitle(QStringLiteral("使用说明-") + appTitle());
    setWindowIcon(programIcon());
    auto *text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("Text1"));
    text->setOpenExternalLinks(false);
    text->setHtml(UsageNotes());
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(close);
    resize(640, 560);
}

} // namespace papyrant
