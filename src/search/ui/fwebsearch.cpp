#include "search/ui/fwebsearch.h"

#include "browser/ui/webenginebrowser.h"
#include "foundation/makerpages.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "foundation/shell.h"
#include "foundation/ui/fieldlabel.h"
#include "foundation/ui/rowstripes.h"
#include "search/addallwalk.h"
#include "search/analysis.h"
#include "search/batchsearch.h"
#include "search/clearcommands.h"
#include "search/searchfiles.h"
#include "search/searchsession.h"
#include "search/serviceaddress.h"
#include "search/serviceprofile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace papyrant {

namespace {

// 15 twips to a screen pixel, as the window's designed sizes count them.
constexpr int twips(int value)
{
    return value / 15;
}

QPushButton *button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QAction *menuItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

} // namespace

FWebSearch::FWebSearch(SavePathValues &savePath, Prompts &prompts, SaveFolderPicker &picker,
                       DownloadQueueOwner &queueOwner, SearchWindowCalls calls,
                       QWebEngineProfile *profile, QWidget *parent)
    : QMainWindow(parent), m_prompts(prompts), m_calls(std::move(calls))
{
    setObjectName(QStringLiteral("fWebSearch"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser = new WebEngineBrowser(profile, this);
    m_session = new SearchSession(m_browser, savePath, prompts, picker, queueOwner, this);
    m_walk = new AddAllWalk(*m_session);
    m_analysis = new AnalysisCommands(*m_session);
    m_batch = new BatchSearch(*m_session, *m_walk);

    buildControls();
    buildMenus();
    wireCommands();
    load();
}

FWebSearch::~FWebSearch() = default;

void FWebSearch::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);

    m_picPanWeb = new QWidget(central);
    m_picPanWeb->setObjectName(QStringLiteral("PicPanWeb"));
    QWebEngineView *view = m_browser->view();
    view->setObjectName(QStringLiteral("WebBrowser1"));
    auto *webLayout = new QVBoxLayout(m_picPanWeb);
    webLayout->setContentsMargins(1, 0, 1, 1);
    webLayout->addWidget(view);
    m_picPanWeb->setMinimumHeight(twips(1500));

    // The lower panel: the batch keywords on the left, the search list taking the rest.
    m_picPanList = new QWidget(central);
    m_picPanList->setObjectName(QStringLiteral("PicPanList"));
    m_picPanList->setMinimumHeight(twips(450));

    auto *frame1 = new QGroupBox(QStringLiteral("批量关键词自动提取文档链接"), m_picPanList);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto *label4 = new QLabel(QStringLiteral("每行一组关键词："), frame1);
    label4->setObjectName(QStringLiteral("Label4"));
    m_text1 = new QPlainTextEdit(frame1);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_command1 =
        button(QStringLiteral("Command1"), BatchSearch::caption(RunButtonState::Idle), frame1);
    auto *label6 = new QLabel(QStringLiteral("已经完成："), frame1);
    label6->setObjectName(QStringLiteral("Label6"));
    m_text2 = new QLineEdit(frame1);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setReadOnly(true);
    m_commandResume =
        button(QStringLiteral("CommandResume"), QStringLiteral("继续上次的批量检索"), frame1);
    m_commandResume->setEnabled(false);
    // Keywords on the left; the button and the log of keywords started on the right.
    auto *frameLayout = new QGridLayout(frame1);
    frameLayout->setContentsMargins(6, 2, 6, 4);
    frameLayout->setVerticalSpacing(2);
    frameLayout->addWidget(label4, 0, 0);
    frameLayout->addWidget(m_text1, 1, 0, 4, 1);
    frameLayout->addWidget(m_command1, 1, 1);
    frameLayout->addWidget(label6, 2, 1);
    frameLayout->addWidget(m_text2, 3, 1);
    frameLayout->addWidget(m_commandResume, 4, 1, Qt::AlignTop);
    frameLayout->setRowStretch(4, 1);
    frameLayout->setColumnStretch(0, 3);
    frameLayout->setColumnStretch(1, 2);
    frameLayout->setColumnMinimumWidth(1, m_commandResume->sizeHint().width());
    m_text1->setMinimumHeight(fontMetrics().height() * 2 + 8);
    frame1->setFixedWidth(
        qMax(frame1->fontMetrics().horizontalAdvance(frame1->title()) + 48,
             std::max(m_command1->sizeHint().width(), m_commandResume->sizeHint().width()) * 5 / 2
                 + 24));

    m_listView1 = new QTreeView(m_picPanList);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_listView1->setModel(&m_session->list());
    m_listView1->setRootIsDecorated(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView1->header()->setStretchLastSection(false);
    m_listView1->setColumnWidth(0, 420);
    PaintRowStripes(m_listView1, false, qMax(13, m_listView1->fontMetrics().height() + 3));

    auto *listLayout = new QHBoxLayout(m_picPanList);
    listLayout->setContentsMargins(1, 2, 1, 0);
    listLayout->addWidget(frame1);
    listLayout->addWidget(m_listView1, 1);

    // The progress panel floats over the list, centred.
    m_picPanPrograss = new QFrame(m_picPanList);
    m_picPanPrograss->setObjectName(QStringLiteral("PicPanPrograss"));
    m_picPanPrograss->setFrameShape(QFrame::Box);
    m_picPanPrograss->setAutoFillBackground(true);
    m_label11 = new QLabel(analysisProgressCaption(), m_picPanPrograss);
    m_label11->setObjectName(QStringLiteral("Label11"));
    m_command5 = button(QStringLiteral("Command5"), QStringLiteral("停止"), m_picPanPrograss);
    auto *progressLayout = new QHBoxLayout(m_picPanPrograss);
    progressLayout->setContentsMargins(16, 10, 16, 10);
    progressLayout->addWidget(m_label11);
    progressLayout->addWidget(m_command5);
    m_picPanPrograss->adjustSize();
    m_picPanPrograss->hide();
    m_picPanList->installEventFilter(this);

    m_picBar = new QSplitter(Qt::Vertical, central);
    m_picBar->setObjectName(QStringLiteral("PicBar"));
    m_picBar->setChildrenCollapsible(false);
    m_picBar->setOpaqueResize(false); // the bar moves; the panels follow when it is released
    m_picBar->setHandleWidth(6);
    m_picBar->addWidget(m_picPanWeb);
    m_picBar->addWidget(m_picPanList);
    m_picBar->setStretchFactor(0, 3);
    m_picBar->setStretchFactor(1, 2);

    // The command row under the panels.
    m_command9 = button(QStringLiteral("Command9"), QStringLiteral("加入本页到列表"), central);
    m_command4 =
        button(QStringLiteral("Command4"), AddAllWalk::caption(RunButtonState::Idle), central);
    m_combo1 = new QComboBox;
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setMaxVisibleItems(20);
    auto *label7 = new FieldLabel(QStringLiteral("限速延时：       秒"), m_combo1, central);
    label7->setObjectName(QStringLiteral("Label7"));
    m_command2 = button(QStringLiteral("Command2"), QStringLiteral("分析下载"), central);
    m_command7 = button(QStringLiteral("Command7"), QStringLiteral("导出数据..."), central);
    auto *label2 = new QLabel(QStringLiteral("待下载列表："), central);
    label2->setObjectName(QStringLiteral("Label2"));
    m_label1 = new QLabel(QStringLiteral("0"), central);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")));
    m_check5 = new QCheckBox(QStringLiteral("禁止网页脚本对话框"), central);
    m_check5->setObjectName(QStringLiteral("Check5"));
    m_check7 = new QCheckBox(QStringLiteral("自动分析未分析项"), central);
    m_check7->setObjectName(QStringLiteral("Check7"));

    auto *commands = new QHBoxLayout;
    commands->setContentsMargins(4, 4, 4, 4);
    commands->addWidget(m_command9);
    commands->addWidget(m_command4);
    commands->addWidget(label7);
    commands->addWidget(m_command2);
    commands->addWidget(m_command7);
    commands->addSpacing(12);
    commands->addWidget(label2);
    commands->addWidget(m_label1);
    commands->addStretch();
    commands->addWidget(m_check5);
    commands->addWidget(m_check7);

    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_picBar, 1);
    layout->addLayout(commands);

    auto *statusBar1 = new QStatusBar(this);
    statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    auto *panel1 = new QLabel(QStringLiteral("澄川软件"), statusBar1);
    panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_statusText = new QLabel(statusBar1);
    m_statusText->setObjectName(QStringLiteral("StatusBar1Panel2"));
    m_statusText->setTextFormat(Qt::PlainText);
    m_statusText->setMinimumWidth(1); // a long address must not widen the window
    // The service worked on, or why the last page read gave nothing. A panel of its own: the
    // browser's texts (the link under the mouse) would wipe it out in the second one.
    m_serviceText = new QLabel(statusBar1);
    m_serviceText->setObjectName(QStringLiteral("StatusBar1Panel3"));
    m_serviceText->setTextFormat(Qt::PlainText);
    statusBar1->addWidget(panel1);
    statusBar1->addWidget(m_statusText, 1);
    statusBar1->addPermanentWidget(m_serviceText);
    setStatusBar(statusBar1);

    setMinimumSize(twips(9000), twips(5000));
}

void FWebSearch::buildMenus()
{
    auto enableFor = [](QAction *action, const std::function<void()> &call) {
        action->setEnabled(bool(call));
        connect(action, &QAction::triggered, action, [call] {
            if (call)
                call();
        });
    };

    QMenu *browse = menuBar()->addMenu(QStringLiteral("浏览(&B)"));
    browse->setObjectName(QStringLiteral("menu浏览"));
    connect(menuItem(browse, QStringLiteral("menu打开CINII查询首页"),
                     QStringLiteral("打开CINII搜索首页")),
            &QAction::triggered, this,
            [this] { m_browser->Navigate(ServiceHomePage(m_session->profile())); });
    connect(menuItem(browse, QStringLiteral("menu打开指定网址"), QStringLiteral("打开指定网址")),
            &QAction::triggered, this, [this] {
                const std::optional<QString> answer =
                    m_prompts.input(QStringLiteral("请输入需要打开的网址："), QString(),
                                    QStringLiteral("请输入..."));
                const QString address = answer.value_or(QString()).trimmed();
                if (!address.isEmpty())
                    m_browser->Navigate(address);
            });
    browse->addSeparator();
    connect(menuItem(browse, QStringLiteral("menu后退"), QStringLiteral("后退")),
            &QAction::triggered, this, [this] { m_browser->GoBack(); });
    connect(menuItem(browse, QStringLiteral("menu前进"), QStringLiteral("前进")),
            &QAction::triggered, this, [this] { m_browser->GoForward(); });
    browse->addSeparator();
    connect(menuItem(browse, QStringLiteral("menu关闭本窗口"), QStringLiteral("关闭本窗口")),
            &QAction::triggered, this, &QWidget::close);

    m_menu清除 = menuBar()->addMenu(QStringLiteral("清除(&C)"));
    m_menu清除->setObjectName(QStringLiteral("menu清除"));
    connect(menuItem(m_menu清除, QStringLiteral("menu清除选中项"), QStringLiteral("清除选中项")),
            &QAction::triggered, this, [this] {
                if (ClearCommands::menu清除选中项(m_session->list(), m_session->flags(), m_prompts,
                                                  selectedPositions()))
                    m_label1->setText(QString::number(m_session->list().count()));
            });
    connect(menuItem(m_menu清除, QStringLiteral("menu清除分析成功项"),
                     QStringLiteral("清除分析成功项")),
            &QAction::triggered, this,
            [this] { runClearCommand(&ClearCommands::menu清除分析成功项); });
    connect(menuItem(m_menu清除, QStringLiteral("menu清除标题含指定字符项"),
                     QStringLiteral("清除标题含指定字符项")),
            &QAction::triggered, this,
            [this] { runClearCommand(&ClearCommands::menu清除标题含指定字符项); });
    connect(menuItem(m_menu清除, QStringLiteral("menu清除标题不含指定字符项"),
                     QStringLiteral("清除标题不含指定字符项")),
            &QAction::triggered, this,
            [this] { runClearCommand(&ClearCommands::menu清除标题不含指定字符项); });
    connect(menuItem(m_menu清除, QStringLiteral("menu清空全部"), QStringLiteral("清空全部")),
            &QAction::triggered, this, [this] { runClearCommand(&ClearCommands::menu清空全部); });

    QMenu *tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    tools->setObjectName(QStringLiteral("menu工具"));
    enableFor(menuItem(tools, QStringLiteral("menu设置"), QStringLiteral("设置")),
              m_calls.showOptions);
    enableFor(menuItem(tools, QStringLiteral("menu打开下载窗口"), QStringLiteral("打开下载窗口")),
              m_calls.showDownloadWindow);
    tools->addSeparator();
    connect(menuItem(tools, QStringLiteral("menu网页源码"), QStringLiteral("网页源码保存到...")),
            &QAction::triggered, this,
            [this] { SearchFiles::网页源码保存到(m_browser, m_prompts); });
    tools->addSeparator();
    enableFor(
        menuItem(tools, QStringLiteral("menu查看IE浏览器缓存"), QStringLiteral("查看IE浏览器缓存")),
        m_calls.showCacheViewer);
    enableFor(
        menuItem(tools, QStringLiteral("menu清空IE浏览器缓存"), QStringLiteral("清空IE浏览器缓存")),
        m_calls.clearBrowserCache);

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("menu帮助"));
    enableFor(menuItem(help, QStringLiteral("menu关于"), QStringLiteral("关于(&A)")),
              m_calls.showAbout);
    enableFor(menuItem(help, QStringLiteral("menu使用说明"), QStringLiteral("使用说明")),
              m_calls.showUsage);
    help->addSeparator();
    enableFor(menuItem(help, QStringLiteral("menu最新版本"), QStringLiteral("最新版本")),
              m_calls.showLatestVersion);
    QMenu *sites = help->addMenu(QStringLiteral("作者网站"));
    sites->setObjectName(QStringLiteral("menu作者网站"));
    connect(menuItem(sites, QStringLiteral("menu澄川软件"), QStringLiteral("澄川软件")),
            &QAction::triggered, this, [] { OpenWebPage(MakerSitePage(), true); });
    connect(menuItem(sites, QStringLiteral("menu禾屿软件"), QStringLiteral("禾屿软件")),
            &QAction::triggered, this, [] { OpenWebPage(PartnerSitePage(), true); });
    connect(menuItem(help, QStringLiteral("menu软件定制"), QStringLiteral("软件定制")),
            &QAction::triggered, this, [] { OpenWebPage(CustomSoftwarePage(), true); });

    // "加入": not on the menu bar; the pop-up of "分析下载".
    m_menu加入 = new QMenu(QStringLiteral("加入"), this);
    m_menu加入->setObjectName(QStringLiteral("menu加入"));
    using Command = AnalysisCommands::Command;
    const struct
    {
        const char16_t *name, *caption;
        Command command;
    } analyses[] = {
        {u"menu分析未分析项", u"分析未分析项", Command::Unanalysed},
        {u"menu加入分析失败项", u"分析失败项", Command::Failed},
        {u"menu选中加入", u"分析选中项", Command::Selected},
        {u"menu全部加入", u"分析全部", Command::All},
    };
    for (const auto &a : analyses) {
        const Command command = a.command;
        connect(menuItem(m_menu加入, QString::fromUtf16(a.name), QString::fromUtf16(a.caption)),
                &QAction::triggered, this,
                [this, command] { m_analysis->run(command, selectedPositions()); });
    }
}

void FWebSearch::wireCommands()
{
    SearchSession &s = *m_session;
    s.delayText = [combo = QPointer<QComboBox>(m_combo1)] {
        return combo ? combo->currentText() : QString();
    };
    connect(&s, &SearchSession::countChanged, m_label1,
            [this](int rows) { m_label1->setText(QString::number(rows)); });
    connect(&s, &SearchSession::noteChanged, this, &FWebSearch::showServiceNote);
    connect(&s, &SearchSession::profileChanged, this, &FWebSearch::showServiceNote);
    connect(&s, &SearchSession::autoSizeColumns, this, [this] {
        for (int c = 0; c < m_session->list().columnCount(); ++c)
            m_listView1->resizeColumnToContents(c);
    });

    connect(m_command9, &QPushButton::clicked, this, [this] { m_session->加入本页到列表(); });
    connect(m_command4, &QPushButton::clicked, this, [this] { m_walk->Command4Click(); });
    connect(m_walk, &AddAllWalk::stateChanged, this, [this](RunButtonState state) {
        showRunButton(m_command4, AddAllWalk::caption(state), state);
    });
    connect(m_command1, &QPushButton::clicked, this,
            [this] { m_batch->Command1Click(m_text1->toPlainText()); });
    connect(m_batch, &BatchSearch::stateChanged, this, [this](RunButtonState state) {
        showRunButton(m_command1, BatchSearch::caption(state), state);
    });
    connect(m_batch, &BatchSearch::progressLogChanged, m_text2, &QLineEdit::setText);
    connect(m_walk, &AddAllWalk::positionChanged, this, &FWebSearch::setSavedPosition);
    connect(m_commandResume, &QPushButton::clicked, this,
            [this] { m_batch->resume(m_text1->toPlainText(), m_savedPosition); });

    connect(m_command2, &QPushButton::clicked, this,
            [this] { m_analysis->Command2Click(selectedPositions()); });
    connect(m_analysis, &AnalysisCommands::command2EnabledChanged, m_command2,
            &QWidget::setEnabled);
    connect(m_analysis, &AnalysisCommands::menuRequested, this,
            [this] { m_menu加入->exec(QCursor::pos()); });
    connect(m_analysis, &AnalysisCommands::progressPanelChanged, this,
            [this](bool visible, const QString &caption) {
                m_label11->setText(caption);
                m_picPanPrograss->setVisible(visible);
                if (visible) {
                    centreProgressPanel();
                    m_picPanPrograss->raise();
                }
            });
    connect(m_command5, &QPushButton::clicked, m_analysis, &AnalysisCommands::Command5Click);
    connect(m_check7, &QCheckBox::clicked, m_analysis, &AnalysisCommands::Check7Click);
    connect(m_analysis, &AnalysisCommands::check7Changed, m_check7, &QCheckBox::setChecked);

    connect(m_command7, &QPushButton::clicked, this,
            [this] { SearchFiles::导出数据(m_session->list(), m_prompts); });
    connect(m_check5, &QCheckBox::clicked, this, [this](bool on) { m_browser->setSilent(on); });

    connect(m_listView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        m_menu清除->exec(m_listView1->viewport()->mapToGlobal(at));
    });
    connect(m_picBar, &QSplitter::splitterMoved, this, &FWebSearch::splitterReleased);

    // The browser's events.
    connect(m_browser, &Browser::BeforeNavigate2, this,
            [this](const QString &address) { statusBar()->setVisible(!IsMakerAddress(address)); });
    connect(m_browser, &Browser::StatusTextChange, m_statusText, &QLabel::setText);
}

void FWebSearch::load()
{
    setWindowTitle(QStringLiteral("CINII页面数据检索分析-") + appTitle());
    m_session->loadPromptSetting();
    m_browser->setSilent(true);
    m_check5->setChecked(true);
    m_browser->Navigate(QStringLiteral("about:blank"));
    m_session->flags().setAnalysisStopped(true);
    m_session->flags().setAddAllStopped(true);
    m_session->flags().setBatchStopped(true);
    // The box shows lines as the editor does; the store keeps them ending in CR LF.
    m_text1->setPlainText(
        GetSetting(setting::BatchKeywords).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    for (int i = 0; i <= 120; ++i)
        m_combo1->addItem(QString::number(i));
    m_combo1->setCurrentText(QStringLiteral("0"));
    m_combo1->setCurrentText(GetSetting(setting::PageDelay));
    const ServiceProfiles profiles = LoadServiceProfiles(settingsFolder());
    m_session->setProfile(profiles.chosen(GetSetting(setting::ServiceProfileId)));
    m_serviceText->setToolTip(profiles.error);
    m_browser->Navigate(ServiceHomePage(m_session->profile()));

    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    resize(qMin(1100, screen.width() * 9 / 10), qMin(780, screen.height() * 9 / 10));
    // The browser takes the larger part at first.
    const int room =
        height() - menuBar()->sizeHint().height() - statusBar()->sizeHint().height() - 40;
    m_picBar->setSizes({room * 3 / 5, room * 2 / 5});
    m_profileFault = profiles.error;
}

void FWebSearch::setVisible(bool visible)
{
    QMainWindow::setVisible(visible);
    // A faulty profile file is left out as a whole: said once, over the window the user has
    // just opened, never from a page load or a timer.
    if (visible && !m_profileFault.isEmpty())
        m_prompts.message(std::exchange(m_profileFault, {}), Prompts::Icon::Warning);
}

void FWebSearch::showServiceNote()
{
    const QString note = m_session->note();
    m_serviceText->setText(note.isEmpty() ? QStringLiteral("检索服务：") + m_session->profile().name
                                          : note);
    m_serviceText->setStyleSheet(note.isEmpty() ? QString()
                                                : QStringLiteral("QLabel { color: #b00000; }"));
}

QList<int> FWebSearch::selectedPositions() const
{
    QList<int> positions;
    for (const QModelIndex &index : m_listView1->selectionModel()->selectedRows())
        positions << index.row();
    std::sort(positions.begin(), positions.end());
    return positions;
}

void FWebSearch::setSavedPosition(const WalkPosition &position)
{
    m_savedPosition = position;
    m_commandResume->setEnabled(!position.isEmpty());
}

void FWebSearch::showRunButton(QPushButton *button, const QString &caption, RunButtonState state)
{
    button->setText(caption);
    button->setStyleSheet(
        state == RunButtonState::Idle
            ? QString()
            : QStringLiteral("QPushButton { background-color: rgb(255, 0, 0); }"));
    button->setEnabled(state != RunButtonState::StopRequested);
}

void FWebSearch::runClearCommand(bool (*command)(SearchList &, const SearchRunFlags &, Prompts &))
{
    if (command(m_session->list(), m_session->flags(), m_prompts))
        m_label1->setText(QString::number(m_session->list().count()));
}

void FWebSearch::splitterReleased()
{
    // The list keeps room to show: a bar dropped into the bottom strip goes back to 4/5.
    if (m_picPanList->height() < twips(1200)) {
        const int room = m_picBar->height() - m_picBar->handleWidth();
        m_picBar->setSizes({room * 4 / 5, room - room * 4 / 5});
    }
}

void FWebSearch::centreProgressPanel()
{
    m_picPanPrograss->adjustSize();
    const QSize size = m_picPanPrograss->size();
    m_picPanPrograss->move((m_picPanList->width() - size.width()) / 2,
                           (m_picPanList->height() - size.height()) / 2);
}

bool FWebSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picPanList && event->type() == QEvent::Resize)
        centreProgressPanel();
    return QMainWindow::eventFilter(watched, event);
}

void FWebSearch::saveSettings()
{
    SaveSetting(setting::BatchKeywords,
                m_text1->toPlainText().replace(u'\n', QStringLiteral("\r\n")));
    SaveSetting(setting::PageDelay, m_combo1->currentText());
}

void FWebSearch::closeEvent(QCloseEvent *event)
{
    // Never refused. Running loops are told to end; they let go of this window by themselves.
    if (!m_closed) {
        m_session->windowClosing();
        saveSettings();
        m_analysis->Timer1().stop();
        m_closed = true;
        // Unloaded: no longer found by its name, though the object lives until the event loop
        // deletes it (a running walk may still be unwinding).
        setObjectName(QString());
    }
    event->accept();
    if (m_calls.showCoverIfNoDownloadWindow)
        m_calls.showCoverIfNoDownloadWindow();
}

} // namespace papyrant
