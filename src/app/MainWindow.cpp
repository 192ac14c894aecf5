#include "app/MainWindow.h"

#include "app/AppTexts.h"
#include "app/Dialogs.h"
#include "app/QtRunView.h"
#include "app/ResultListModel.h"
#include "collect/VcodePictureReader.h"
#include "config/CollectionSettings.h"
#include "config/ui/RuleEditorWindow.h"
#include "page/PageAutomation.h"

#ifdef GLEANER_HAVE_PUBLISHER
#include "output/ArticlePublisher.h"
#endif
#ifdef GLEANER_HAVE_SPREADSHEET_EXPORT
#include "output/SpreadsheetExport.h"
#endif
#ifdef GLEANER_HAVE_PUBLISH_SETTINGS_WINDOW
#include "output/ui/PublishSettingsWindow.h"
#endif

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

namespace gleaner {
namespace {

QTimer* CreateMonitorTimer(QObject* owner) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QStringLiteral("时钟1"));
    return timer;
}

// A plain drawn icon: a green disc with a white leaf stroke.
QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x2e, 0x8b, 0x57));
        painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        QPen pen(Qt::white, size / 10.0, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const double s = size;
        QPainterPath leaf;
        leaf.moveTo(s * 0.28, s * 0.72);
        leaf.cubicTo(s * 0.25, s * 0.35, s * 0.55, s * 0.25, s * 0.75, s * 0.25);
        leaf.cubicTo(s * 0.75, s * 0.5, s * 0.6, s * 0.75, s * 0.28, s * 0.72);
        painter.drawPath(leaf);
        painter.drawLine(QPointF(s * 0.28, s * 0.72), QPointF(s * 0.55, s * 0.45));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPushButton* Button(QWidget* parent, const char16_t* name, const QString& text, QRect place) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromUtf16(name));
    button->setGeometry(place);
    return button;
}

constexpr int FormWidth = 926;
constexpr int FormHeight = 431;
constexpr int PaneShownHeight = 680;
constexpr int PaneHiddenHeight = 460;

} // namespace

MainWindow::MainWindow(std::string programDir, ResultList& results, QWidget* parent)
    : QMainWindow(parent), programDir_(std::move(programDir)), results_(results),
      monitorTimer_(CreateMonitorTimer(this)), control_(RunContext{}, *monitorTimer_) {
    BuildMenus();
    BuildControls();

    runView_ = new QtRunView(this, {statusLabel_, startStopButton_, picturePreview_, this});
    RunContext& context = control_.Context();
    context.programDir = programDir_;
    context.settings = &ProcessSettings();
    context.results = &results_;
    context.view = runView_;
    context.automation = &ProcessPageAutomation();
    // Like the view, never deleted: runs still going may read pictures through it.
    context.pictures = new VcodePictureReader(programDir_, runView_);

    connect(startStopButton_, &QPushButton::clicked, this, &MainWindow::OnStartStopClicked);
    connect(monitorTimer_, &QTimer::timeout, this, &MainWindow::OnMonitorTick);
    connect(paneToggleButton_, &QPushButton::clicked, this, &MainWindow::OnPaneToggleClicked);
    connect(exportButton_, &QPushButton::clicked, this, &MainWindow::OnExportClicked);
    connect(editRulesButton_, &QPushButton::clicked, this, [this] { OpenRuleEditor(); });
    connect(publishButton_, &QPushButton::clicked, this, &MainWindow::OnPublishClicked);
    connect(publishSettingsButton_, &QPushButton::clicked, this, [this] { OpenPublishSettings(); });

    // The window's "created" steps.
    browser_->setUrl(QUrl(PaneStartAddress()));
    setWindowTitle(ProgramTitle() + QStringLiteral("版本:V") + VersionText());
    setWindowIcon(ProgramIcon());
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(ProgramTitle());
    connect(tray_, &QSystemTrayIcon::activated, this, &MainWindow::OnTrayActivated);
    trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    if (trayAvailable_)
        tray_->show();
    QDir current = QDir::current();
    for (const QString& folder : {QStringLiteral("下载网页"), QStringLiteral("采集完保存备份"), QStringLiteral("采集前保存备份")})
        current.mkpath(folder);
}

MainWindow::~MainWindow() { runView_->Detach(); }

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件"));
    connect(file->addAction(QStringLiteral("导出数据")), &QAction::triggered, this, &MainWindow::OnExportClicked);
    connect(file->addAction(QStringLiteral("退出")), &QAction::triggered, this, &MainWindow::close);
    QMenu* share = menuBar()->addMenu(QStringLiteral("分享资源"));
    connect(share->addAction(QStringLiteral("规则分享")), &QAction::triggered, this,
            [this] { OpenInBrowser(RuleSharingAddress()); });
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助"));
    connect(help->addAction(QStringLiteral("升级信息")), &QAction::triggered, this,
            [this] { OpenInBrowser(UpdateLogAddress()); });
}

void MainWindow::BuildControls() {
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("窗口内容"));
    setCentralWidget(content);

    // Frames first, so the controls drawn inside them stack above them.
    auto* frame1 = new QGroupBox(QStringLiteral("采集数据显示"), content);
    frame1->setObjectName(QStringLiteral("分组框1"));
    frame1->setGeometry(9, 2, 897, 312);
    auto* frame2 = new QGroupBox(QStringLiteral("正在采集的网页显示"), content);
    frame2->setObjectName(QStringLiteral("分组框2"));
    frame2->setGeometry(10, 390, 896, 202);

    publishButton_ = Button(content, u"发布", QStringLiteral("点击发布"), {504, 352, 64, 24});
    publishSettingsButton_ = Button(content, u"发布配置", QStringLiteral("发布配置"), {575, 352, 64, 24});
    editRulesButton_ = Button(content, u"编辑规则", QStringLiteral("编辑规则"), {653, 352, 64, 24});

    statusLabel_ = new QLabel(QStringLiteral("状态显示"), content);
    statusLabel_->setObjectName(QStringLiteral("标签2"));
    statusLabel_->setGeometry(23, 350, 249, 26);

    monitorCheckBox_ = new QCheckBox(QStringLiteral("开启监控"), content);
    monitorCheckBox_->setObjectName(QStringLiteral("选择框1"));
    monitorCheckBox_->setGeometry(831, 352, 70, 24);

    startStopButton_ = Button(content, u"采集", QStringLiteral("开启采集"), {732, 352, 83, 24});
    paneToggleButton_ = Button(content, u"显示网页", QStringLiteral("显示采集网址"), {321, 352, 91, 24});

    saveDialog_ = new SaveFileDialog(this);

    progressBar_ = new QProgressBar(content);
    progressBar_->setObjectName(QStringLiteral("进度条1"));
    progressBar_->setGeometry(40, 318, 840, 24);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);

    exportButton_ = Button(content, u"导出execl", QStringLiteral("导出execl"), {429, 352, 64, 24});

    browser_ = new QWebEngineView(content);
    browser_->setObjectName(QStringLiteral("超文本浏览框1"));
    browser_->setGeometry(28, 409, 864, 176);
    browser_->hide();

    resultView_ = new QTableView(content);
    resultView_->setObjectName(QStringLiteral("超级列表框1"));
    resultView_->setGeometry(19, 18, 877, 288);
    model_ = new ResultListModel(results_, resultView_);
    resultView_->setModel(model_);
    resultView_->verticalHeader()->hide();
    // Fixed, uniform row heights: the view never measures rows, so a million of them scroll smoothly.
    resultView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    resultView_->verticalHeader()->setDefaultSectionSize(resultView_->fontMetrics().height() + 6);
    resultView_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    resultView_->horizontalHeader()->setHighlightSections(false);
    resultView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultView_->setWordWrap(false);
    resultView_->setShowGrid(true);
    const int widths[ResultList::ColumnCount] = {40, 100, 70, 70, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50};
    for (int column = 0; column < ResultList::ColumnCount; ++column)
        resultView_->setColumnWidth(column, widths[column]);

    picturePreview_ = new QLabel(content);
    picturePreview_->setObjectName(QStringLiteral("图片框1"));
    picturePreview_->setGeometry(576, 48, 176, 40);
    picturePreview_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picturePreview_->hide();

    move(50, 50);
    resize(FormWidth, FormHeight);
}

RunView* MainWindow::View() const { return runView_; }

void MainWindow::SetBrowserPane(BrowserPane* pane) { control_.Context().pane = pane; }
void MainWindow::SetPictureReader(PictureReader* reader) { control_.Context().pictures = reader; }
void MainWindow::SetRunStarter(RunStarter starter) { control_.SetRunStarter(std::move(starter)); }

void MainWindow::OnStartStopClicked() {
    control_.Click(*startStopButton_, *statusLabel_, monitorCheckBox_->isChecked());
}

void MainWindow::OnMonitorTick() { control_.Tick(); }

void MainWindow::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    // Only the left click; the double-click notice, the right button and the context menu do nothing.
    if (reason != QSystemTrayIcon::Trigger)
        return;
    ShowCentred();
    raise();
    activateWindow();
}

void MainWindow::ShowCentred() {
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
}

void MainWindow::OnPaneToggleClicked() {
    if (paneToggleButton_->text() == QStringLiteral("显示采集网址")) {
        browser_->show();
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        resize(FormWidth, PaneShownHeight);
        ShowCentred();
        paneToggleButton_->setText(QStringLiteral("关闭采集网址"));
    } else {
        browser_->hide();
        paneToggleButton_->setText(QStringLiteral("显示采集网址"));
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        resize(FormWidth, PaneHiddenHeight);
        ShowCentred();
    }
}

void MainWindow::OnExportClicked() {
#ifdef GLEANER_HAVE_SPREADSHEET_EXPORT
    const QString file = saveDialog_->AskFileName();
    if (file.isEmpty())
        return;
    // The dialog leaves the current directory in the chosen file's folder; relative paths follow it.
    QDir::setCurrent(QFileInfo(file).absolutePath());

    int shownStep = -1;
    const ExportProgress progress = [this, &shownStep](int maximum, int position) {
        // An empty range would turn the bar into a busy indicator; keep it an empty bar instead.
        progressBar_->setRange(0, maximum > 0 ? maximum : 1);
        progressBar_->setValue(position);
        // Repainted as it goes, but only when the bar has grown by a step worth drawing.
        const int step = maximum > 0 ? static_cast<int>(static_cast<long long>(position) * 200 / maximum) : 0;
        if (step != shownStep) {
            shownStep = step;
            progressBar_->repaint();
        }
    };
    const ExportResult result =
        ExportListToWorkbook(results_, MainWindowExportColumns(), file.toStdString(), "[Sheet1]", progress);
    const auto q = [](const Text& text) { return QString::fromStdU16String(ToUtf16(text)); };
    if (!result) {
        ShowMessageBox(this, QStringLiteral("导出失败：") + q(result.error));
        return;
    }
    const Text notice = ExportNotice(result);
    ShowMessageBox(this, notice.empty() ? QStringLiteral("导出成功！") : QStringLiteral("导出成功！\n\n") + q(notice));
#endif
}

void MainWindow::OnPublishClicked() {
#ifdef GLEANER_HAVE_PUBLISHER
    PublishContext context;
    context.programDir = programDir_;
    context.results = &results_;
    context.view = runView_;
    context.pane = control_.Context().pane;
    context.automation = &ProcessPageAutomation();
    StartArticlePublisher(std::move(context));
#endif
}

RuleEditorWindow* MainWindow::OpenRuleEditor() {
    if (ruleEditor_) {
        ruleEditor_->show();
        ruleEditor_->raise();
        ruleEditor_->activateWindow();
        return ruleEditor_;
    }
    ruleEditor_ = new RuleEditorWindow(this);
    ruleEditor_->show();
    return ruleEditor_;
}

QWidget* MainWindow::OpenPublishSettings() {
    if (publishSettings_) {
        publishSettings_->show();
        publishSettings_->raise();
        publishSettings_->activateWindow();
        return publishSettings_;
    }
#ifdef GLEANER_HAVE_PUBLISH_SETTINGS_WINDOW
    publishSettings_ = new PublishSettingsWindow(programDir_, this);
    publishSettings_->show();
#endif
    return publishSettings_;
}

void MainWindow::OpenInBrowser(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable_) {
        // Hidden after the state change has settled: only the tray icon remains.
        QMetaObject::invokeMethod(
            this, [this] { if (isMinimized() && trayAvailable_) hide(); }, Qt::QueuedConnection);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ruleEditor_)
        ruleEditor_->close();
    if (publishSettings_)
        publishSettings_->close();
    tray_->hide();
    event->accept();
    emit Closed();
}

} // namespace gleaner
