#pragma once
// The main window "网页采集器". Controls carry the form's names as objectName and sit at the form's
// client coordinates inside a content area below the menu bar. The window's height (Qt's geometry,
// without the title bar the window manager adds) is the form's height with the menu bar counted in
// it: 431 at start, 460 or 680 after the pane toggle.

#include "app/CollectionControl.h"
#include "collect/ResultList.h"

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>

#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QCheckBox;
class QTableView;
class QTimer;
class QWebEngineView;

namespace gleaner {

class QtRunView;
class ResultListModel;
class RuleEditorWindow;
class SaveFileDialog;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    /// programDir: the program's folder (the rules file the runs read, the files they write).
    MainWindow(std::string programDir, ResultList& results, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// "超文本浏览框1", for the BrowserPane adapter.
    QWebEngineView* BrowserView() const { return browser_; }
    /// The pane the runs drive (may stay null: the runs then work without the browser).
    void SetBrowserPane(BrowserPane* pane);
    void SetPictureReader(PictureReader* reader);
    /// Replaces StartRun (tests observe which kind of run a click starts).
    void SetRunStarter(RunStarter starter);

    CollectionControl& Control() { return control_; }
    QSystemTrayIcon* TrayIcon() const { return tray_; }
    SaveFileDialog* FileDialog() const { return saveDialog_; }
    RunView* View() const;
    /// Whether a minimised window goes to the tray. Only with a tray to come back from: where the
    /// desktop has none, hiding would leave no way back to the window. Tests set it.
    void SetTrayAvailable(bool available) { trayAvailable_ = available; }
    RuleEditorWindow* OpenRuleEditor();
    /// "发布配置": the publishing settings window (brought to the front when it is open already).
    QWidget* OpenPublishSettings();

public slots:
    void OnStartStopClicked();
    void OnMonitorTick();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void OnPaneToggleClicked();
    void OnExportClicked();
    void OnPublishClicked();

signals:
    /// The window was closed (close box or "退出"): the program ends.
    void Closed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void ShowCentred();
    void OpenInBrowser(const QString& address);

    std::string programDir_;
    ResultList& results_;

    QPushButton* publishButton_ = nullptr;
    QPushButton* publishSettingsButton_ = nullptr;
    QPushButton* editRulesButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QCheckBox* monitorCheckBox_ = nullptr;
    QTimer* monitorTimer_ = nullptr;
    QPushButton* startStopButton_ = nullptr;
    QLabel* picturePreview_ = nullptr;
    QPushButton* paneToggleButton_ = nullptr;
    SaveFileDialog* saveDialog_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QWebEngineView* browser_ = nullptr;
    QTableView* resultView_ = nullptr;
    ResultListModel* model_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool trayAvailable_ = false;
    QPointer<RuleEditorWindow> ruleEditor_;
    QPointer<QWidget> publishSettings_;

    QtRunView* runView_ = nullptr; // never deleted: detached workers may still call it
    CollectionControl control_;
};

} // namespace gleaner
