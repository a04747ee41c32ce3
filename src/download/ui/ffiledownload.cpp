#include "download/ui/ffiledownload.h"

#include "download/downloadqueue.h"
#include "download/downloadsession.h"
#include "download/loginpanel.h"
#include "download/methodone.h"
#include "download/methodtwo.h"
#include "download/queuecommands.h"
#include "download/queuemodel.h"
#include "download/scheduler.h"
#include "download/windowsettings.h"
#include "foundation/makerpages.h"
#include "foundation/prompts.h"
#include "foundation/settings.h"
#include "foundation/shell.h"
#include "foundation/ui/fieldlabel.h"
#include "foundation/ui/flowlayout.h"
#include "foundation/ui/folderlist.h"
#include "foundation/ui/notificationsound.h"
#include "foundation/ui/qtprompts.h"
#include "foundation/ui/rowstripes.h"
#include "foundation/ui/showinfolder.h"
#include "foundation/ui/windowplacement.h"
#include "foundation/windowplacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

// The top panel's background: the program's pale green running into a deeper one.
QPixmap panelBackground()
{
    QPixmap picture(400, 80);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 400, 80);
    gradient.setColorAt(0, QColor(231, 248, 237));
    gradient.setColorAt(1, QColor(196, 228, 209));
    painter.fillRect(picture.rect(), gradient);
    return picture;
}

template<typename W> W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

FFileDownload::FFileDownload(FFileDownloadHooks hooks, Prompts *prompts, QWidget *parent)
    : QMainWindow(parent), m_hooks(std::move(hooks))
{
    setObjectName(u"fFileDownload"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    if (!prompts) {
        m_ownPrompts = std::make_unique<QtPrompts>(this);
        prompts = m_ownPrompts.get();
    }
    m_prompts = prompts;

    m_queue = std::make_unique<DownloadQueue>();
    m_session = std::make_unique<DownloadSession>(*m_queue);
    m_one = std::make_unique<MethodOne>(*m_session);
    m_two = std::make_unique<MethodTwo>(*m_session);
    m_scheduler = std::make_unique<DownloadScheduler>(*m_session, *m_one, *m_two, *m_prompts);
    m_commands =
        std::make_unique<QueueCommands>(*m_session, *m_scheduler, *m_one, *m_two, *m_prompts);
    m_commands->showInFolder = [](const QString &path) { return ShowInFolder(path); };

    buildTopPanel();
    buildListArea();
    buildStatusBar();
    buildMenus();
    SetMinimumSizeForRows(this, QSize(600, 400));
    connectEngine();
    loadSettings();
}

FFileDownload::~FFileDownload()
{
    // The view goes before the model, the model before the queue it shows.
    delete m_listView3;
    delete m_model;
    m_scheduler->Timer1().stop();
    m_scheduler->Timer_Down().stop();
}

void FFileDownload::buildTopPanel()
{
    auto *picture3 = named(new QWidget, u"Picture3"_s);
    auto *image1 = named(new QLabel(picture3), u"Image1"_s);
    image1->setPixmap(panelBackground());
    image1->setScaledContents(true);
    image1->lower();
    picture3->installEventFilter(this);

    m_label7 = named(new QLabel(picture3), u"Label7"_s);
    m_command26 = named(new QPushButton(u"切换"_s, picture3), u"Command26"_s);
    m_command26->setToolTip(u"更改下载方式"_s);
    auto *label2 = named(new QLabel(u"线程数："_s, picture3), u"Label2"_s);
    m_combo1 = named(new QComboBox(picture3), u"Combo1"_s);
    for (int i = 1; i <= 6; ++i)
        m_combo1->addItem(QString::number(i));
    auto *label8 = named(new QLabel(u"同名文件："_s, picture3), u"Label8"_s);
    m_option3 = named(new QRadioButton(u"重命名"_s, picture3), u"Option3"_s);
    m_option2 = named(new QRadioButton(u"覆盖"_s, picture3), u"Option2"_s);
    m_option1 = named(new QRadioButton(u"跳过"_s, picture3), u"Option1"_s);
    m_combo2 = named(new QComboBox, u"Combo2"_s);
    for (int i = 0; i <= 600; ++i)
        m_combo2->addItem(QString::number(i));
    m_combo2->setMaxVisibleItems(20);
    auto *label5 =
        named(new FieldLabel(u"两个文件下载间隔：        秒"_s, m_combo2, picture3), u"Label5"_s);

    m_command4 = named(new QPushButton(u"开始下载"_s, picture3), u"Command4"_s);
    m_command31 = named(new QPushButton(u"停止下载"_s, picture3), u"Command31"_s);
    m_check6 = named(new QCheckBox(u"声音提示"_s, picture3), u"Check6"_s);
    m_check5 =
        named(new QCheckBox(u"有5个以上下载出错或者网页文件，就停止下载"_s, picture3), u"Check5"_s);
    m_check4 = named(new QCheckBox(u"当有待下载项时，自动启动下载"_s, picture3), u"Check4"_s);
    m_check3 = named(new QCheckBox(u"自动重新下载："_s, picture3), u"Check3"_s);
    m_combo4 = named(new QComboBox(picture3), u"Combo4"_s);
    m_combo4->addItems(
        {u"出错项"_s, u"文件类型为HTM和HTML项"_s, u"出错项和文件类型为HTM和HTML项"_s});
    m_command1 = named(new QPushButton(u"网页登录"_s, picture3), u"Command1"_s);
    auto *label4 = named(new QLabel(u"下载列表："_s, picture3), u"Label4"_s);
    m_label1 = named(new QLabel(queueCountText(0), picture3), u"Label1"_s);
    m_shape1 = named(new QFrame(picture3), u"Shape1"_s);
    m_shape1->setFixedSize(14, 14);
    m_shape1->setStyleSheet(u"background: rgb(30, 170, 70); border: 1px solid rgb(20, 90, 40);"
                            u" border-radius: 7px;"_s);
    m_shape1->setToolTip(u"正在下载"_s);
    m_shape1->hide();

    // Each row stays one line in a wide window and goes on to more in a narrow one, a caption
    // and its field together: no caption is ever cut.
    auto *row1 = new FlowLayout(nullptr, 16);
    row1->addWidget(KeepTogether({m_label7, m_command26}));
    row1->addWidget(KeepTogether({label2, m_combo1}));
    row1->addWidget(KeepTogether({label8, m_option3, m_option2, m_option1}));
    row1->addWidget(label5);
    // Room for the marker while it is hidden, so that nothing moves when it comes and goes.
    auto *marker = new QWidget;
    marker->setFixedSize(m_shape1->size());
    auto *markerLayout = new QHBoxLayout(marker);
    markerLayout->setContentsMargins(0, 0, 0, 0);
    markerLayout->addWidget(m_shape1);
    QWidget *count = KeepTogether({label4, m_label1, marker});
    row1->addWidget(count);
    row1->setAlignment(count, Qt::AlignRight);

    auto *row2 = new FlowLayout(nullptr, 16);
    row2->addWidget(KeepTogether({m_command4, m_command31}));
    row2->addWidget(m_check4);
    row2->addWidget(KeepTogether({m_check3, m_combo4}));
    row2->addWidget(m_command1);
    row2->setAlignment(m_command1, Qt::AlignRight);

    auto *row3 = new FlowLayout(nullptr, 16);
    row3->addWidget(m_check6);
    row3->addWidget(m_check5);

    auto *rows = new QVBoxLayout(picture3);
    rows->setContentsMargins(8, 6, 8, 6);
    rows->addLayout(row1);
    rows->addLayout(row2);
    rows->addLayout(row3);
    picture3->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture3);
    setCentralWidget(central);
}

void FFileDownload::buildListArea()
{
    auto *area = named(new QWidget, u"ListArea"_s);
    auto *grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);

    // A table keeps no per-row layout, so that rows handed over while the window is shown cost
    // the same at the 100,000th as at the first.
    m_listView3 = named(new QTableView, u"ListView3"_s);
    m_listView3->setAccessibleName(u"下载列表"_s);
    m_model = new DownloadQueueModel(*m_queue, this);
    m_listView3->setModel(m_model);
    m_listView3->verticalHeader()->hide();
    m_listView3->setShowGrid(false);
    m_listView3->setWordWrap(false);
    m_listView3->setCornerButtonEnabled(false);
    m_listView3->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView3->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView3->setEditTriggers(QAbstractItemView::NoEditTriggers); // names are not edited here
    m_listView3->setIconSize(QSize(16, 16));
    m_listView3->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView3->setToolTip(u"双击鼠标：下载当前项或者打开文件"_s);
    m_listView3->viewport()->installEventFilter(this);
    QHeaderView *header = m_listView3->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    int widths[QueueColumnCount] = {340, 60, 90, 90, 90, 300, 30, 300, 200};
    // "百分比" has room for the longest count-down of a resting host.
    widths[int(QueueColumn::Percent)] = std::max(
        widths[int(QueueColumn::Percent)],
        m_listView3->fontMetrics().horizontalAdvance(QueueWords::percentHostResting(600)) + 16);
    for (int c = 0; c < QueueColumnCount; ++c)
        header->resizeSection(c, widths[c]);
    // Why a row failed: a column of its own that the header's menu shows (hidden at first, so
    // that the list keeps its usual columns), and the tooltip of every cell of the row.
    m_menu显示原因列 = new QAction(u"显示“原因”列"_s, this);
    m_menu显示原因列->setObjectName(u"menu显示原因列"_s);
    m_menu显示原因列->setCheckable(true);
    connect(m_menu显示原因列, &QAction::toggled, this, [this](bool shown) {
        showReasonColumn(shown);
        SaveReasonColumnShown(shown);
    });
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, &FFileDownload::headerRightClick);
    showReasonColumn(false);
    PaintRowStripes(m_listView3, false, 17);

    // The login panel covers exactly the list; the grid keeps it there through every resize.
    grid->addWidget(m_listView3, 0, 0);
    grid->addWidget(buildLoginPanel(), 0, 0);
    static_cast<QVBoxLayout *>(centralWidget()->layout())->addWidget(area, 1);

    m_listPaintTimer = new QTimer(this);
    m_listPaintTimer->setSingleShot(true);
    m_listPaintTimer->setInterval(StatusIntervalMs);
    connect(m_listPaintTimer, &QTimer::timeout, this, [this] {
        m_listView3->setUpdatesEnabled(true);
        updateCount();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FFileDownload::rowsInserted);

    connect(m_listView3, &QTableView::doubleClicked, this,
            [this] { m_commands->双击(selectedPosition()); });
    connect(m_listView3, &QWidget::customContextMenuRequested, this,
            &FFileDownload::listRightClick);
    connect(header, &QHeaderView::sectionClicked, this, &FFileDownload::columnClick);
}

void FFileDownload::buildStatusBar()
{
    auto *bar = named(new QStatusBar, u"StatusBar1"_s);
    bar->setSizeGripEnabled(true);
    const QString texts[4] = {u"澄川软件与网络技术同步"_s, {}, {}, m_queue->ShowQueueCounts()};
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = named(new QLabel(texts[i]), u"StatusBar1Panel"_s + QString::number(i + 1));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setMinimumWidth(40);
        m_panels[i]->installEventFilter(this);
    }
    // A link to the program's page, when it has one.
    if (!ProjectPage().isEmpty()) {
        m_panels[0]->setToolTip(ProjectPage());
        m_panels[0]->setCursor(Qt::PointingHandCursor);
    }
    // Long paths and transfer messages must not widen the window.
    m_panels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_panels[2]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(m_panels[0]);
    bar->addWidget(m_panels[1], 3);
    bar->addWidget(m_panels[2], 2);
    bar->addPermanentWidget(m_panels[3]);
    setStatusBar(bar);
}

void FFileDownload::connectEngine()
{
    DownloadSession &session = *m_session;
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(StatusIntervalMs);
    connect(m_statusTimer, &QTimer::timeout, this, &FFileDownload::showPendingStatus);
    connect(&session, &DownloadSession::statusText, this, [this](int panel, const QString &text) {
        if (panel < 1 || panel > 4)
            return;
        m_pendingPanels[panel - 1] = text;
        m_panelPending[panel - 1] = true;
        if (!m_statusTimer->isActive())
            m_statusTimer->start();
    });
    connect(&session, &DownloadSession::soundRequested, this, &PlayNotificationSound);
    connect(&session, &DownloadSession::rowStarted, this,
            [this](int position) { m_listView3->scrollTo(m_model->indexOf(position)); });
    connect(m_scheduler.get(), &DownloadScheduler::indicatorVisibleChanged, m_shape1,
            &QWidget::setVisible);
    connect(m_scheduler.get(), &DownloadScheduler::startCommandEnabledChanged, m_menu下载全部,
            &QAction::setEnabled);
    connect(m_scheduler.get(), &DownloadScheduler::optionsChanged, this, [this] {
        m_check4->setChecked(m_session->options.autoStart);
        m_check3->setChecked(m_session->options.autoRedownload);
    });
    connect(m_queue.get(), &DownloadQueue::rowsReset, this, &FFileDownload::updateCount);

    connect(m_command4, &QPushButton::clicked, m_scheduler.get(),
            &DownloadScheduler::startDownloads);
    connect(m_command31, &QPushButton::clicked, m_scheduler.get(),
            &DownloadScheduler::stopDownloads);
    connect(m_command26, &QPushButton::clicked, this, [this] {
        const MethodSwitch next = 切换下载方式(m_session->method);
        showMethod(next.method, true);
    });
    connect(m_command1, &QPushButton::clicked, this, &FFileDownload::showLoginPanel);

    const auto sync = [this] { syncOptions(); };
    connect(m_combo1, &QComboBox::currentIndexChanged, this, sync);
    connect(m_combo2, &QComboBox::currentIndexChanged, this, sync);
    connect(m_combo4, &QComboBox::currentIndexChanged, this, sync);
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{
             m_option1, m_option2, m_option3, m_check3, m_check4, m_check5, m_check6})
        connect(b, &QAbstractButton::toggled, this, sync);
    connect(m_menu自动定位到下载项, &QAction::toggled, this, sync);
}

void FFileDownload::loadSettings()
{
    setWindowTitle(u"文件下载-"_s + appTitle());
    setWindowIcon(QApplication::windowIcon());
    m_combo4->setCurrentIndex(0);
    FitDropDownWidth(m_combo4);
    m_session->markTransferEnded(); // LastEndTime := now
    m_queue->clear();

    const DownloadWindowSettings settings = ReadDownloadWindowSettings();
    showMethod(settings.method, false);
    if (settings.method == 2 && settings.threadIndex >= 0)
        m_combo1->setCurrentIndex(settings.threadIndex);
    switch (settings.sameName) {
    case SameNameRule::Skip: m_option1->setChecked(true); break;
    case SameNameRule::Overwrite: m_option2->setChecked(true); break;
    case SameNameRule::Rename: m_option3->setChecked(true); break;
    }
    setProxy(settings.proxy);
    setMaxFileSizeMB(settings.maxFileSizeMB);
    setPerHostLimit(settings.perHostLimit);
    {
        const QSignalBlocker quiet(m_menu显示原因列);
        m_menu显示原因列->setChecked(settings.reasonColumnShown);
    }
    showReasonColumn(settings.reasonColumnShown);

    // The size of the stored defaults, for a window that comes back maximised and is later
    // restored (and for a desktop that does not maximise at all).
    resize(setting::PlacementWidth.defaultValue().toInt() / TwipsPerPixel,
           setting::PlacementHeight.defaultValue().toInt() / TwipsPerPixel);
    RestoreWindowPlacement(this);
    m_combo2->setCurrentIndex(0);
    syncOptions();
    m_scheduler->startHousekeeping();
}

void FFileDownload::showMethod(int method, bool resetThreads)
{
    m_session->method = method;
    m_label7->setText(u"下载方式："_s + QString::number(method));
    if (resetThreads || method == 1)
        m_combo1->setCurrentIndex(0);
    m_combo1->setEnabled(method != 1);
}

void FFileDownload::setDownloadMethod(int method)
{
    // The method in force keeps its thread box as the user set it.
    if (method == m_session->method)
        return;
    if (method == 1) {
        // The thread box keeps its text; it only goes grey.
        m_session->method = 1;
        m_label7->setText(u"下载方式：1"_s);
        m_combo1->setEnabled(false);
    } else if (method == 2) {
        showMethod(2, true);
    }
}

void FFileDownload::setProxy(const ProxySettings &proxy)
{
    m_one->proxy = proxy;
}

void FFileDownload::setMaxFileSizeMB(double megabytes)
{
    m_session->options.maxFileSizeMB = megabytes;
}

void FFileDownload::setPerHostLimit(int limit)
{
    m_session->options.perHostLimit = std::clamp(limit, 1, 6);
}

SameNameRule FFileDownload::chosenSameNameRule() const
{
    if (m_option1->isChecked())
        return sameNameFromCaption(m_option1->text());
    if (m_option2->isChecked())
        return sameNameFromCaption(m_option2->text());
    return SameNameRule::Rename;
}

void FFileDownload::syncOptions()
{
    DownloadOptions &o = m_session->options;
    o.intervalSeconds = m_combo2->currentText().toInt();
    o.threadCount = std::clamp(m_combo1->currentText().toInt(), 1, 6);
    o.sameName = chosenSameNameRule();
    o.autoStart = m_check4->isChecked();
    o.autoRedownload = m_check3->isChecked();
    o.redownloadRule = std::max(0, m_combo4->currentIndex());
    o.stopAfterFive = m_check5->isChecked();
    o.sound = m_check6->isChecked();
    o.autoLocate = m_menu自动定位到下载项->isChecked();
}

void FFileDownload::updateCount()
{
    m_label1->setText(queueCountText(m_queue->count()));
}

void FFileDownload::rowsInserted()
{
    // The first rows of a burst show at once; the rest wait for the timer.
    if (m_lastRowsInserted.isValid() && m_lastRowsInserted.elapsed() < StatusIntervalMs) {
        m_listView3->setUpdatesEnabled(false);
        if (!m_listPaintTimer->isActive())
            m_listPaintTimer->start();
    } else if (!m_listPaintTimer->isActive()) {
        updateCount();
    }
    m_lastRowsInserted.start();
}

void FFileDownload::showPendingStatus()
{
    for (int i = 0; i < 4; ++i) {
        if (!m_panelPending[i])
            continue;
        m_panelPending[i] = false;
        m_panels[i]->setText(m_pendingPanels[i]);
    }
}

QString FFileDownload::statusPanelText(int panel) const
{
    return panel >= 1 && panel <= 4 ? m_panels[panel - 1]->text() : QString();
}

QList<int> FFileDownload::selectedPositions() const
{
    QList<int> positions;
    for (const QModelIndex &index : m_listView3->selectionModel()->selectedRows())
        positions << DownloadQueueModel::positionOf(index);
    std::sort(positions.begin(), positions.end());
    return positions;
}

int FFileDownload::selectedPosition() const
{
    const QItemSelectionModel *selection = m_listView3->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
        return DownloadQueueModel::positionOf(current);
    const QList<int> selected = selectedPositions();
    return selected.isEmpty() ? 0 : selected.first();
}

void FFileDownload::redrawAndShow(bool restore)
{
    m_listView3->viewport()->update();
    if (isHidden())
        show();
    if (restore && isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
}

void FFileDownload::autoFitColumns()
{
    for (int c = 0; c < QueueColumnCount; ++c)
        m_listView3->resizeColumnToContents(c);
    PaintRowStripes(m_listView3, false, 17);
}

void FFileDownload::listClick(const QPoint &pos)
{
    // Click: the selected row's key to panel 2 and the clipboard; then the item click, when a
    // row is under the mouse: its file, if it is there, in panel 2.
    m_panelPending[1] = false; // the click's text is the newer one
    const int selected = selectedPosition();
    if (selected) {
        const QString key = m_queue->row(selected).Urls;
        m_panels[1]->setText(key);
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(key);
    }
    const QModelIndex index = m_listView3->indexAt(pos);
    const int position = DownloadQueueModel::positionOf(index);
    if (m_queue->isValidPosition(position))
        m_panels[1]->setText(itemClickText(m_queue->row(position)));
}

void FFileDownload::listRightClick(const QPoint &pos)
{
    const ListMenuState state = m_commands->listMenuState();
    m_menu清除->menuAction()->setEnabled(state.clear);
    m_menu清空->setEnabled(state.clearAll);
    m_menu停止下载->setEnabled(state.stop);
    m_menu全选->setEnabled(state.selectAll);
    m_menu下载->popup(m_listView3->viewport()->mapToGlobal(pos));
}

void FFileDownload::columnClick(int column)
{
    QHeaderView *header = m_listView3->horizontalHeader();
    if (m_commands->排序(column))
        m_sortedColumn = column;
    // The header flips its arrow by itself; it shows the order the rows are really in.
    header->setSortIndicatorShown(m_sortedColumn >= 0);
    header->setSortIndicator(m_sortedColumn,
                             m_commands->descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void FFileDownload::headerRightClick(const QPoint &pos)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(m_menu显示原因列);
    menu->popup(m_listView3->horizontalHeader()->mapToGlobal(pos));
}

void FFileDownload::showReasonColumn(bool shown)
{
    // The page a link came from says the rest of why: a landing page without a PDF link.
    m_listView3->setColumnHidden(int(QueueColumn::Source), !shown);
    m_listView3->setColumnHidden(int(QueueColumn::Reason), !shown);
}

void FFileDownload::statusPanelClick(int panel)
{
    if (panel == 1) {
        if (!ProjectPage().isEmpty())
            OpenWebPage(ProjectPage(), false);
    } else if (panel == 2) {
        // A row's key shows its links joined by "|": the current one opens.
        OpenLinkOrFile(选择url(m_panels[1]->text()));
    }
}

void FFileDownload::copyName()
{
    const int position = selectedPosition();
    if (!position)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_queue->row(position).Name);
}

bool FFileDownload::eventFilter(QObject *watched, QEvent *event)
{
    if (m_listView3 && watched == m_listView3->viewport()
        && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            listClick(mouse->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 4; ++i)
            if (watched == m_panels[i] && m_panels[i])
                statusPanelClick(i + 1);
    } else if (event->type() == QEvent::Resize && watched->objectName() == u"Picture3"_s) {
        if (auto *image = watched->findChild<QLabel *>(u"Image1"_s))
            image->setGeometry(QRect(QPoint(0, 0), static_cast<QWidget *>(watched)->size()));
    }
    return QMainWindow::eventFilter(watched, event);
}

void FFileDownload::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateCount();
    QMainWindow::changeEvent(event);
}

void FFileDownload::closeWithoutQuestion()
{
    m_noCloseQuestion = true;
    close();
}

void FFileDownload::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    SaveSameNameAndMethod(chosenSameNameRule(), m_session->method);
    if (!m_noCloseQuestion && m_commands->closeNeedsQuestion()
        && !m_prompts->askYesNo(u"正在下载文件或者下载没有完成，要强制关闭窗口吗？"_s,
                                Prompts::Icon::Question)) {
        event->ignore();
        return;
    }
    m_unloaded = true;
    m_scheduler->Timer1().stop();
    m_scheduler->stopDownloads();
    m_one->cancel();
    m_login->unload();
    m_picWebBK->hide();
    SaveWindowPlacement(this);
    SaveThreadIndex(m_combo1->currentIndex());
    event->accept();
    if (!IsWindowLoaded(u"fWebSearch"_s) && m_hooks.showCover)
        m_hooks.showCover();
}

} // namespace papyrant
