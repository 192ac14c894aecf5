// The export from the main window: the save dialog's answer, the current directory it moves, the
// progress bar, the messages, and the workbook read back by an independent reader (xlrd).

#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "collect/ResultList.h"
#include "config/ui/RuleEditorWindow.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace gleaner;
namespace t = gleaner::test;

namespace {

// The sheet "Sheet1" as rows of texts, read by xlrd; null when it could not be read.
QJsonArray ReadSheet(const QString& file) {
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import xlrd, sys, json\n"
                  "s = xlrd.open_workbook(sys.argv[1]).sheet_by_name('Sheet1')\n"
                  "print(json.dumps([[str(v) for v in s.row_values(r)] for r in range(s.nrows)]))\n",
                  file});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("xlrd: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

} // namespace

class MainWindowExportQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<t::TempDir> programDir_;
    std::unique_ptr<ResultList> results_;
    std::unique_ptr<MainWindow> window_;
    QStringList messages_;
    QString previousDir_;

    QProgressBar* Progress() { return window_->findChild<QProgressBar*>("进度条1"); }
    void ClickExport() { QTest::mouseClick(window_->findChild<QPushButton*>("导出execl"), Qt::LeftButton); }

private slots:
    void init() {
        programDir_ = std::make_unique<t::TempDir>();
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(programDir_->Path()));
        results_ = std::make_unique<ResultList>();
        window_ = std::make_unique<MainWindow>(programDir_->Path(), *results_);
        messages_.clear();
        SetMessageBoxRecorder([this](const QString& text) { messages_ << text; });
    }
    void cleanup() {
        window_.reset();
        results_.reset();
        SetMessageBoxRecorder({});
        QDir::setCurrent(previousDir_);
        programDir_.reset();
    }

    void exportsColumnFifteenFirst() {
        std::vector<Text> first, second;
        for (int c = 1; c <= 15; ++c) {
            first.push_back("甲"_t + std::to_string(c));
            second.push_back("it's "_t + std::to_string(c));
        }
        results_->AppendResultRow(first);
        results_->AppendResultRow(second);
        t::TempDir target;
        const QString file = QString::fromStdString(target.File("导出.xls"));
        window_->FileDialog()->SetNextAnswer(file);
        ClickExport();
        QCOMPARE(messages_, QStringList{"导出成功！"});
        QCOMPARE(Progress()->maximum(), 2);
        QCOMPARE(Progress()->value(), 2);
        QCOMPARE(QDir::currentPath(), QString::fromStdString(target.Path()));

        const QJsonArray rows = ReadSheet(file);
        QCOMPARE(rows.size(), 3);
        QStringList header;
        for (const auto& v : rows[0].toArray())
            header << v.toString();
        QCOMPARE(header, (QStringList{"15", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}));
        QCOMPARE(rows[1].toArray()[0].toString(), QStringLiteral("甲15"));
        QCOMPARE(rows[1].toArray()[1].toString(), QStringLiteral("甲1"));
        QCOMPARE(rows[2].toArray()[14].toString(), QStringLiteral("it's 14"));

        // From now on the rule editor works on the file of the export's folder.
        t::WriteFileBytes(target.File("采集配置.txt"), "[起始页]7[/起始页]"_t);
        RuleEditorWindow* editor = window_->OpenRuleEditor();
        QCOMPARE(editor->findChild<QPlainTextEdit*>("编辑框1")->toPlainText(), QStringLiteral("[起始页]7[/起始页]"));
        editor->close();
    }

    void menuEntryExportsTooAndAnEmptyListGivesTheHeader() {
        t::TempDir target;
        const QString file = QString::fromStdString(target.File("empty.xls"));
        window_->FileDialog()->SetNextAnswer(file);
        QAction* entry = nullptr;
        for (QAction* a : window_->menuBar()->actions().first()->menu()->actions())
            if (a->text() == QStringLiteral("导出数据"))
                entry = a;
        QVERIFY(entry);
        entry->trigger();
        QCOMPARE(messages_, QStringList{"导出成功！"});
        QCOMPARE(ReadSheet(file).size(), 1);
    }

    void cancelDoesNothing() {
        results_->AppendResultRow({"a"_t});
        Progress()->setRange(0, 10);
        Progress()->setValue(7);
        window_->FileDialog()->SetNextAnswer(QString()); // cancelled
        ClickExport();
        QVERIFY(messages_.isEmpty());
        QCOMPARE(Progress()->maximum(), 10);
        QCOMPARE(Progress()->value(), 7);
        QCOMPARE(QDir::currentPath(), QString::fromStdString(programDir_->Path()));
    }

    void failureSaysWhy() {
        results_->AppendResultRow({"a"_t});
        t::TempDir target;
        // A folder stands where the workbook should go: it cannot be replaced by a file.
        QDir().mkpath(QString::fromStdString(target.File("taken.xls")));
        window_->FileDialog()->SetNextAnswer(QString::fromStdString(target.File("taken.xls")));
        ClickExport();
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith(QStringLiteral("导出失败：")), qPrintable(messages_[0]));
        QVERIFY(messages_[0].size() > 5);
    }
};

QTEST_MAIN(MainWindowExportQTest)
#include "MainWindowExportQTest.moc"
