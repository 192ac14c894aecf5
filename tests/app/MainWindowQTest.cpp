// The main window offscreen, with the real browser pane: its controls by name, the start and stop
// click, the monitoring timer's rules, the pane toggle, the tray, and closing while a run goes.

#include "app/AppTexts.h"
#include "app/CollectionControl.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "collect/ResultList.h"
#include "config/CollectionSettings.h"
#include "config/ui/RuleEditorWindow.h"
#include "fixtures/TestSite.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

using namespace gleaner;
namespace t = gleaner::test;

namespace {

struct StartedRun {
    bool twoLevel;
    RunContext context;
};

// Records each run a click or a tick starts instead of starting it.
struct RunRecorder {
    std::vector<StartedRun> runs;
    RunStarter Starter() {
        return [this](bool twoLevel, RunContext context) { runs.push_back({twoLevel, std::move(context)}); };
    }
};

void WriteRules(const t::TempDir& dir, const std::string& rules) { t::WriteFileBytes(dir.File("采集配置.txt"), rules); }

// Single-level rules over the site's list pages, taken by plain HTTP.
std::string SiteRules(const t::TestSite& site, int endPage) {
    return "[起始页]1[/起始页][结束页]"_t + std::to_string(endPage) + "[/结束页]\r\n[采集网址前面]"_t +
           site.Url("/list_") + "[/采集网址前面][采集网址结尾].html[/采集网址结尾]\r\n"_t +
           "[内容页面规则]<li><a href=\"(.*?)\">(.*?)</a></li>[/内容页面规则]\r\n"_t +
           "[目录名]site[/目录名][模拟人工]0[/模拟人工][延迟时间]0[/延迟时间][采集二级页面]0[/采集二级页面]\r\n"_t;
}

// Holds every list page's answer until released (bounded, so a fault cannot hang the test).
struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait_for(lock, std::chrono::seconds(10), [&] { return open; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        cv.notify_all();
    }
};

} // namespace

class MainWindowQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<t::TempDir> dir_; // program folder and current directory
    std::unique_ptr<ResultList> results_;
    std::unique_ptr<MainWindow> window_;
    RunRecorder recorder_;
    QString previousDir_;

    template <class T> T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromUtf8(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    QPushButton* StartStop() { return Find<QPushButton>("采集"); }
    QLabel* Status() { return Find<QLabel>("标签2"); }
    QCheckBox* Monitor() { return Find<QCheckBox>("选择框1"); }
    QTimer* Timer() { return Find<QTimer>("时钟1"); }

private slots:
    void init() {
        dir_ = std::make_unique<t::TempDir>();
        previousDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(dir_->Path())));
        ProcessSettings().Reset();
        results_ = std::make_unique<ResultList>();
        window_ = std::make_unique<MainWindow>(dir_->Path(), *results_);
        recorder_ = {};
        window_->SetRunStarter(recorder_.Starter());
    }
    void cleanup() {
        window_.reset();
        results_.reset();
        QDir::setCurrent(previousDir_);
        dir_.reset();
        SetMessageBoxRecorder({});
    }

    void controlsByName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");
        QTest::newRow("发布") << "发布" << QRect(504, 352, 64, 24) << "点击发布" << true;
        QTest::newRow("发布配置") << "发布配置" << QRect(575, 352, 64, 24) << "发布配置" << true;
        QTest::newRow("编辑规则") << "编辑规则" << QRect(653, 352, 64, 24) << "编辑规则" << true;
        QTest::newRow("标签2") << "标签2" << QRect(23, 350, 249, 26) << "状态显示" << true;
        QTest::newRow("选择框1") << "选择框1" << QRect(831, 352, 70, 24) << "开启监控" << true;
        QTest::newRow("采集") << "采集" << QRect(732, 352, 83, 24) << "开启采集" << true;
        QTest::newRow("图片框1") << "图片框1" << QRect(576, 48, 176, 40) << "" << false;
        QTest::newRow("显示网页") << "显示网页" << QRect(321, 352, 91, 24) << "显示采集网址" << true;
        QTest::newRow("进度条1") << "进度条1" << QRect(40, 318, 840, 24) << "" << true;
        QTest::newRow("导出execl") << "导出execl" << QRect(429, 352, 64, 24) << "导出execl" << true;
        QTest::newRow("超文本浏览框1") << "超文本浏览框1" << QRect(28, 409, 864, 176) << "" << false;
        QTest::newRow("超级列表框1") << "超级列表框1" << QRect(19, 18, 877, 288) << "" << true;
        QTest::newRow("分组框1") << "分组框1" << QRect(9, 2, 897, 312) << "采集数据显示" << true;
        QTest::newRow("分组框2") << "分组框2" << QRect(10, 390, 896, 202) << "正在采集的网页显示" << true;
    }
    void controlsByName() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, text);
        QFETCH(bool, shown);
        window_->show();
        auto* control = window_->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), place);
        QCOMPARE(control->parentWidget(), window_->centralWidget());
        QCOMPARE(control->isVisible(), shown);
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            QCOMPARE(button->text(), text);
        else if (auto* label = qobject_cast<QLabel*>(control))
            QCOMPARE(label->text(), text);
        else if (auto* frame = qobject_cast<QGroupBox*>(control))
            QCOMPARE(frame->title(), text);
    }

    void windowAtStart() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QCOMPARE(window_->windowTitle(), QStringLiteral("网页采集器版本:V") + QStringLiteral(GLEANER_VERSION_TEXT));
        QCOMPARE(window_->size(), QSize(926, 431));
        QCOMPARE(window_->pos(), QPoint(50, 50));
        // The content area starts below the menu bar; the menu bar counts in the height.
        QCOMPARE(window_->centralWidget()->y(), window_->menuBar()->height());
        QVERIFY(!Monitor()->isChecked());
        QVERIFY(Timer());
        QVERIFY(!Timer()->isActive());
        QCOMPARE(window_->Control().Monitor().Period(), 0);
        QVERIFY(window_->FileDialog());
        QCOMPARE(window_->FileDialog()->objectName(), QStringLiteral("通用对话框1"));
        QCOMPARE(window_->FileDialog()->Filter(), QStringLiteral("*.xls"));
        QCOMPARE(window_->FileDialog()->DefaultSuffix(), QStringLiteral("xls"));
        QCOMPARE(window_->BrowserView()->objectName(), QStringLiteral("超文本浏览框1"));
        QCOMPARE(window_->BrowserView()->url(), QUrl("about:blank"));
        QCOMPARE(window_->TrayIcon()->toolTip(), QStringLiteral("网页采集器"));
        QVERIFY(!window_->TrayIcon()->icon().isNull());
        QCOMPARE(window_->TrayIcon()->icon().cacheKey(), window_->windowIcon().cacheKey());
        for (const char* folder : {"下载网页", "采集完保存备份", "采集前保存备份"})
            QVERIFY2(QDir(QString::fromUtf8(folder)).exists(), folder);
    }

    void listColumns() {
        auto* view = Find<QTableView>("超级列表框1");
        QVERIFY(view);
        QCOMPARE(view->model()->columnCount(), 16);
        const int widths[16] = {40, 100, 70, 70, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50};
        for (int c = 0; c < 16; ++c) {
            QCOMPARE(view->columnWidth(c), widths[c]);
            QCOMPARE(view->model()->headerData(c, Qt::Horizontal).toString(),
                     c == 0 ? QStringLiteral("ID") : QString::number(c));
        }
        QCOMPARE(view->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    }

    void menus() {
        const QList<QAction*> top = window_->menuBar()->actions();
        QCOMPARE(top.size(), 3);
        const QStringList titles{"文件", "分享资源", "帮助"};
        const QList<QStringList> entries{{"导出数据", "退出"}, {"规则分享"}, {"升级信息"}};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(top[i]->text(), titles[i]);
            QStringList got;
            for (QAction* a : top[i]->menu()->actions())
                got << a->text();
            QCOMPARE(got, entries[i]);
        }
    }

    void existingFoldersKeepTheirContent() {
        window_.reset();
        t::WriteFileBytes(dir_->File("下载网页/keep.html"), "kept");
        window_ = std::make_unique<MainWindow>(dir_->Path(), *results_);
        QCOMPARE(t::ReadFileBytes(dir_->File("下载网页/keep.html")), std::string("kept"));
    }

    void startClickChoosesTheRun_data() {
        QTest::addColumn<std::string>("rules");
        QTest::addColumn<bool>("twoLevel");
        QTest::newRow("1") << "[采集二级页面]1[/采集二级页面]"_t << true;
        QTest::newRow("0") << "[采集二级页面]0[/采集二级页面]"_t << false;
        QTest::newRow("2") << "[采集二级页面]2[/采集二级页面]"_t << false;
        QTest::newRow("full-width 1") << "[采集二级页面]１[/采集二级页面]"_t << true;
        QTest::newRow("missing key") << "[定时时间]1[/定时时间]"_t << false;
        QTest::newRow("no file") << std::string() << false;
    }
    void startClickChoosesTheRun() {
        QFETCH(std::string, rules);
        QFETCH(bool, twoLevel);
        if (!rules.empty())
            WriteRules(*dir_, rules);
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QCOMPARE(StartStop()->text(), QStringLiteral("停止采集"));
        QCOMPARE(Status()->text(), QStringLiteral("正在采集中，请等待……"));
        QCOMPARE(ProcessSettings().StopFlag(), "开"_t);
        QCOMPARE(recorder_.runs.size(), std::size_t(1));
        QCOMPARE(recorder_.runs[0].twoLevel, twoLevel);
        const RunContext& context = recorder_.runs[0].context;
        QCOMPARE(context.programDir, dir_->Path());
        QCOMPARE(context.results, results_.get());
        QCOMPARE(context.settings, &ProcessSettings());
        QCOMPARE(context.view, window_->View());
        QVERIFY(!Timer()->isActive()); // box unticked: the timer is not touched
    }

    void stopClickStartsARunThatStops() {
        WriteRules(*dir_, "[采集二级页面]1[/采集二级页面]"_t);
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        Status()->setText(QStringLiteral("当前页1采集内容数量3"));
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QCOMPARE(ProcessSettings().StopFlag(), "关"_t);
        QCOMPARE(StartStop()->text(), QStringLiteral("停止采集")); // the runs set it back
        QCOMPARE(Status()->text(), QStringLiteral("当前页1采集内容数量3"));
        QCOMPARE(recorder_.runs.size(), std::size_t(2));
        QVERIFY(recorder_.runs[1].twoLevel);
        // The next start click lets runs go again.
        StartStop()->setText(QStringLiteral("开启采集"));
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QCOMPARE(ProcessSettings().StopFlag(), "开"_t);
    }

    void runFillsTheView() {
        t::TestSite site;
        WriteRules(*dir_, SiteRules(site, 3));
        window_->SetRunStarter(&StartRun);
        window_->show();
        auto* view = Find<QTableView>("超级列表框1");
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QStringLiteral("采集保存完毕"), 20000);
        QCOMPARE(StartStop()->text(), QStringLiteral("开启采集"));
        QTRY_COMPARE(view->model()->rowCount(), 6);
        QCOMPARE(view->model()->data(view->model()->index(0, 0)).toString(), QStringLiteral("1"));
        QCOMPARE(view->model()->data(view->model()->index(0, 1)).toString(), QStringLiteral("/content/1_1.html"));
        QCOMPARE(view->model()->data(view->model()->index(5, 2)).toString(), QStringLiteral("标题2_3"));
    }

    void stopEndsEveryRun() {
        t::TestSite site;
        Gate gate;
        std::atomic<int> listRequests{0};
        site.Handle("/list_*", [&](const t::SiteRequest& request) {
            ++listRequests;
            gate.Wait();
            const int page = std::stoi(request.path.substr(6));
            return t::SiteResponse{200, {{"Content-Type", "text/html; charset=gbk"}},
                                   t::TestSite::ListPageHtml(page, 3, false)};
        });
        WriteRules(*dir_, SiteRules(site, 5));
        window_->SetRunStarter(&StartRun);
        window_->show();
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(listRequests.load(), 1, 10000); // the run waits on page 1
        QTest::mouseClick(StartStop(), Qt::LeftButton);           // stop: a second run ends at once
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QStringLiteral("采集已停止"), 10000);
        QCOMPARE(StartStop()->text(), QStringLiteral("开启采集"));
        Status()->setText(QString());
        gate.Open(); // the first run finishes its page, then stops at the next step
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QStringLiteral("采集已停止"), 10000);
        QTRY_COMPARE(results_->RowCount(), 3);
        QCOMPARE(listRequests.load(), 1);

        // Timer runs after the stop end at once as well.
        Status()->setText(QString());
        window_->Control().Monitor().SetPeriod(10);
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QStringLiteral("采集已停止"), 10000);
        window_->Control().Monitor().SetPeriod(0);
        QTest::qWait(200);
        QCOMPARE(listRequests.load(), 1);
        QCOMPARE(results_->RowCount(), 3);
    }

    void periodForHours_data() {
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("period");
        const int most = std::numeric_limits<std::int32_t>::max();
        QTest::newRow("2 h") << 2 << 7'200'000;
        QTest::newRow("1 h") << 1 << 3'600'000;
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("-1") << -1 << 0;
        QTest::newRow("-597 would wrap to a positive period") << -597 << 0;
        QTest::newRow("596 h fits") << 596 << 2'145'600'000;
        QTest::newRow("597 h clamped") << 597 << most;
        QTest::newRow("1194 h clamped, not wrapped") << 1194 << most;
        QTest::newRow("largest") << most << most;
    }
    void periodForHours() {
        QFETCH(int, hours);
        QFETCH(int, period);
        QCOMPARE(MonitorTimer::PeriodForHours(hours), period);
    }

    void periodRules() {
        QTimer timer;
        MonitorTimer monitor(timer);
        QVERIFY(!monitor.SetPeriod(0)); // equal to the starting 0
        QVERIFY(!timer.isActive());
        QVERIFY(monitor.SetPeriod(7'200'000));
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 7'200'000);
        const int before = timer.remainingTime();
        QTest::qWait(60);
        QVERIFY(!monitor.SetPeriod(7'200'000)); // same period: the phase is kept
        QVERIFY(timer.remainingTime() < before - 30);
        QVERIFY(monitor.SetPeriod(3'600'000));
        QCOMPARE(timer.interval(), 3'600'000);
        QVERIFY(timer.remainingTime() > 3'600'000 - 1000);
        QVERIFY(monitor.SetPeriod(-5)); // negative counts as 0: stopped
        QVERIFY(!timer.isActive());
        QCOMPARE(monitor.Period(), 0);
        QVERIFY(!monitor.SetPeriod(-1));
        // A short period really fires.
        QVERIFY(monitor.SetPeriod(20));
        QSignalSpy fired(&timer, &QTimer::timeout);
        QVERIFY(fired.wait(2000));
    }

    void monitorBoxSetsTheTimer() {
        WriteRules(*dir_, "[定时时间]2[/定时时间][采集二级页面]1[/采集二级页面]"_t);
        Monitor()->setChecked(true);
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QVERIFY(Timer()->isActive());
        QCOMPARE(Timer()->interval(), 7'200'000);
        QCOMPARE(ProcessSettings().Get().RepeatHours, 2);
        const int before = Timer()->remainingTime();
        QTest::qWait(60);
        QTest::mouseClick(StartStop(), Qt::LeftButton); // stop click, same hours: same phase
        QVERIFY(Timer()->remainingTime() < before - 30);

        // Unticked: a click leaves the running timer alone, whatever the file says.
        WriteRules(*dir_, "[定时时间]0[/定时时间]"_t);
        Monitor()->setChecked(false);
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QVERIFY(Timer()->isActive());
        QCOMPARE(Timer()->interval(), 7'200'000);

        // Ticked with 0 hours: stopped.
        Monitor()->setChecked(true);
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QVERIFY(!Timer()->isActive());
    }

    void tickUsesTheLastClick() {
        WriteRules(*dir_, "[采集二级页面]1[/采集二级页面]"_t);
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        WriteRules(*dir_, "[采集二级页面]0[/采集二级页面]"_t); // not read by the tick
        const Text flag = ProcessSettings().StopFlag();
        StartStop()->setText(QStringLiteral("开启采集"));
        Status()->setText(QStringLiteral("采集保存完毕"));
        // A short period stands in for hours; the tick is the timer's own.
        window_->Control().Monitor().SetPeriod(10);
        QTRY_VERIFY(recorder_.runs.size() >= 2);
        window_->Control().Monitor().SetPeriod(0);
        QVERIFY(recorder_.runs[1].twoLevel);
        QCOMPARE(ProcessSettings().StopFlag(), flag);
        QCOMPARE(StartStop()->text(), QStringLiteral("开启采集"));
        QCOMPARE(Status()->text(), QStringLiteral("采集保存完毕"));
    }

    void paneToggle() {
        window_->show();
        auto* toggle = Find<QPushButton>("显示网页");
        auto* pane = window_->BrowserView();
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(pane->isVisible());
        QCOMPARE(toggle->text(), QStringLiteral("关闭采集网址"));
        QCOMPARE(window_->size(), QSize(926, 680));
        const QPoint centre = window_->screen()->availableGeometry().center();
        QVERIFY((window_->frameGeometry().center() - centre).manhattanLength() <= 2);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!pane->isVisible());
        QCOMPARE(toggle->text(), QStringLiteral("显示采集网址"));
        QCOMPARE(window_->size(), QSize(926, 460));
        QVERIFY((window_->frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void minimiseWithoutATrayKeepsTheWindow() {
        window_->SetTrayAvailable(false);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->showMinimized();
        QTest::qWait(50);
        QVERIFY(window_->isVisible()); // hidden, it could never come back
        QVERIFY(window_->isMinimized());
    }

    void trayAndMinimise() {
        window_->SetTrayAvailable(true); // the offscreen platform has no tray of its own
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->showMinimized();
        QTRY_VERIFY(!window_->isVisible());
        window_->OnTrayActivated(QSystemTrayIcon::Context);
        window_->OnTrayActivated(QSystemTrayIcon::DoubleClick);
        window_->OnTrayActivated(QSystemTrayIcon::MiddleClick);
        QTest::qWait(20);
        QVERIFY(!window_->isVisible());
        window_->OnTrayActivated(QSystemTrayIcon::Trigger);
        QVERIFY(window_->isVisible());
        QVERIFY(!window_->isMinimized());
        QCOMPARE(window_->size(), QSize(926, 431));
        const QPoint centre = window_->screen()->availableGeometry().center();
        QVERIFY((window_->frameGeometry().center() - centre).manhattanLength() <= 2);

        // A maximised window is restored before it is centred.
        window_->showMaximized();
        window_->OnTrayActivated(QSystemTrayIcon::Trigger);
        QVERIFY(!window_->isMaximized());
    }

    void ruleEditorOpensOnce() {
        window_->show();
        QTest::mouseClick(Find<QPushButton>("编辑规则"), Qt::LeftButton);
        RuleEditorWindow* first = window_->findChild<RuleEditorWindow*>();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QVERIFY(window_->isEnabled()); // not modal
        QTest::mouseClick(Find<QPushButton>("编辑规则"), Qt::LeftButton);
        QCOMPARE(window_->findChildren<RuleEditorWindow*>().size(), 1);
        QCOMPARE(window_->OpenRuleEditor(), first);
    }

    void runViewKeepsTheOrderOfARun() {
        window_->show();
        QStringList seen;
        SetMessageBoxRecorder([&](const QString& text) { seen << Status()->text() + "|" + text; });
        RunView* view = window_->View();
        std::thread worker([view] {
            view->SetStatus("当前页1采集内容数量2"_t);
            view->ShowMessage("识别库加载失败"_t); // blocks this worker until the box is closed
            view->SetStatus("采集保存完毕"_t);
            view->SetButtonCaption("开启采集"_t);
            view->ShowPreview();
        });
        QTRY_COMPARE(Status()->text(), QStringLiteral("采集保存完毕"));
        worker.join();
        QCOMPARE(seen, QStringList{"当前页1采集内容数量2|识别库加载失败"});
        QCOMPARE(StartStop()->text(), QStringLiteral("开启采集"));
        QVERIFY(Find<QLabel>("图片框1")->isVisible());
    }

    void messageWaitEndsWhenTheWindowGoes() {
        RunView* view = window_->View();
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            view->ShowMessage("识别库加载失败"_t);
            view->SetStatus("late"_t); // after the window is gone: does nothing
            returned = true;
        });
        QTest::qSleep(100); // the worker posts and waits; no event is processed meanwhile
        window_.reset();
        for (int i = 0; i < 200 && !returned; ++i)
            QTest::qSleep(10);
        QVERIFY(returned);
        worker.join();
        QCoreApplication::processEvents();
    }

    void messageOnTheUiThreadAfterTheWindowWentShowsNothing() {
        // A run on the UI thread (the window tests run them there) must not reach the gone window.
        RunView* view = window_->View();
        QStringList shown;
        SetMessageBoxRecorder([&](const QString& text) { shown << text; });
        view->ShowMessage("识别库加载失败"_t);
        QCOMPARE(shown, QStringList{"识别库加载失败"});
        window_.reset();
        view->ShowMessage("识别库加载失败"_t);
        QCOMPARE(shown.size(), 1);
    }

    void closeEndsTheWindowWithoutWaiting() {
        // A run that is still going when the window closes.
        std::mutex mutex;
        std::condition_variable cv;
        bool release = false, finished = false;
        window_->SetRunStarter([&](bool, RunContext context) {
            std::thread([&, context] {
                std::unique_lock<std::mutex> lock(mutex);
                cv.wait(lock, [&] { return release; });
                context.view->SetStatus("采集已停止"_t);
                context.view->SetButtonCaption("开启采集"_t);
                const int row = context.results->AppendResultRow();
                context.results->SetCell(row, 1, "after close"_t);
                finished = true;
                cv.notify_all();
            }).detach();
        });
        window_->show();
        QTest::mouseClick(StartStop(), Qt::LeftButton);
        QSignalSpy closed(window_.get(), &MainWindow::Closed);
        const auto start = std::chrono::steady_clock::now();
        QVERIFY(window_->close());
        QCOMPARE(closed.count(), 1);
        QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(5));
        window_.reset();
        {
            std::unique_lock<std::mutex> lock(mutex);
            release = true;
            cv.notify_all();
            QVERIFY(cv.wait_for(lock, std::chrono::seconds(10), [&] { return finished; }));
        }
        QCoreApplication::processEvents();
        QCOMPARE(results_->RowCount(), 1);
    }
};

QTEST_MAIN(MainWindowQTest)
#include "MainWindowQTest.moc"
