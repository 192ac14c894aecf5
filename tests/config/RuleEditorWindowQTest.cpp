// The rule editor against real files in temporary folders: byte-exact load and save, the zero-byte
// cut, the close box, and the current-directory rule.

#include "config/ui/RuleEditorWindow.h"
#include "support/TestSupport.h"
#include "text/Text.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

using gleaner::RuleEditorWindow;
using gleaner::operator""_t;
namespace t = gleaner::test;

Q_DECLARE_METATYPE(std::string)

class RuleEditorWindowQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<t::TempDir> dir_;
    QString previousDir_;

    std::string RulesFile() const { return dir_->File("采集配置.txt"); }
    static QPlainTextEdit* Edit(RuleEditorWindow& w) { return w.findChild<QPlainTextEdit*>("编辑框1"); }
    static QPushButton* SaveButton(RuleEditorWindow& w) { return w.findChild<QPushButton*>("按钮1"); }

private slots:
    void init() {
        dir_ = std::make_unique<t::TempDir>();
        previousDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(dir_->Path())));
    }
    void cleanup() {
        QDir::setCurrent(previousDir_);
        dir_.reset();
    }

    void windowAndControls() {
        RuleEditorWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("编辑规则"));
        QCOMPARE(w.size(), QSize(814, 377));
        QCOMPARE(w.pos(), QPoint(50, 50));
        QVERIFY(Edit(w));
        QCOMPARE(Edit(w)->geometry(), QRect(19, 12, 772, 300));
        QCOMPARE(Edit(w)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(SaveButton(w));
        QCOMPARE(SaveButton(w)->text(), QStringLiteral("保存"));
        QCOMPARE(SaveButton(w)->geometry(), QRect(380, 314, 112, 32));
    }

    void unchangedTextSavesTheSameBytes_data() {
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<QString>("shown");
        const std::string gbk = "[起始页]1[/起始页]"_t; // code-page bytes
        QTest::newRow("crlf") << (gbk + "\r\n[结束页]5[/结束页]\r\n"_t) << QStringLiteral("[起始页]1[/起始页]\n[结束页]5[/结束页]\n");
        QTest::newRow("lf") << (gbk + "\n\n"_t) << QStringLiteral("[起始页]1[/起始页]\n\n");
        QTest::newRow("mixed and lone cr") << std::string("a\r\nb\nc\rd\r\n") << QString();
        QTest::newRow("bytes that are no character") << std::string("x\xff\x80y\x81\r\n") << QString();
        QTest::newRow("tab and nbsp") << ("\t"_t + gleaner::FromUtf8("\u00a0") + "z"_t) << QString(); // shown as a blank
        QTest::newRow("empty") << std::string() << QString("");
    }
    void unchangedTextSavesTheSameBytes() {
        QFETCH(std::string, bytes);
        QFETCH(QString, shown);
        t::WriteFileBytes(RulesFile(), bytes);
        auto* w = new RuleEditorWindow;
        QPointer<RuleEditorWindow> alive(w);
        w->show();
        if (!shown.isNull())
            QCOMPARE(Edit(*w)->toPlainText(), shown);
        // The file is replaced (not rewritten in place) even when nothing changed.
        std::filesystem::remove(RulesFile());
        QTest::mouseClick(SaveButton(*w), Qt::LeftButton);
        QCOMPARE(t::ReadFileBytes(RulesFile()), bytes);
        QTRY_VERIFY(alive.isNull()); // the save closes and destroys the window
    }

    void editedTextKeepsTheFileLineEnds_data() {
        QTest::addColumn<std::string>("before");
        QTest::addColumn<std::string>("after");
        QTest::newRow("crlf file") << "[a]1[/a]\r\n"_t << "[a]1[/a]\r\n[b]2[/b]\r\n"_t;
        QTest::newRow("lf file, nbsp kept") << ("[a]"_t + gleaner::FromUtf8("\u00a0") + "[/a]\n"_t)
                                            << ("[a]"_t + gleaner::FromUtf8("\u00a0") + "[/a]\n[b]2[/b]\n"_t);
        QTest::newRow("new file") << std::string() << "[b]2[/b]\r\n"_t;
    }
    void editedTextKeepsTheFileLineEnds() {
        QFETCH(std::string, before);
        QFETCH(std::string, after);
        if (!before.empty())
            t::WriteFileBytes(RulesFile(), before);
        auto* w = new RuleEditorWindow;
        w->show();
        QTextCursor cursor = Edit(*w)->textCursor();
        cursor.movePosition(QTextCursor::End);
        Edit(*w)->setTextCursor(cursor);
        QTest::keyClicks(Edit(*w), "[b]2[/b]");
        QTest::keyClick(Edit(*w), Qt::Key_Return);
        QVERIFY(w->Save());
        QCOMPARE(t::ReadFileBytes(RulesFile()), after);
    }

    void zeroByteCutsTheText() {
        const std::string head = "[定时时间]2[/定时时间]"_t;
        t::WriteFileBytes(RulesFile(), head + '\0' + "[起始页]9"_t + '\0' + "tail");
        auto* w = new RuleEditorWindow;
        w->show();
        QCOMPARE(Edit(*w)->toPlainText(), QStringLiteral("[定时时间]2[/定时时间]"));
        QVERIFY(w->Save());
        QCOMPARE(t::ReadFileBytes(RulesFile()), head);
    }

    void closeBoxDiscardsEdits() {
        const std::string before = "[起始页]1[/起始页]\r\n"_t;
        t::WriteFileBytes(RulesFile(), before);
        auto* w = new RuleEditorWindow;
        QPointer<RuleEditorWindow> alive(w);
        w->show();
        QTest::keyClicks(Edit(*w), "changed");
        QVERIFY(w->close());
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(t::ReadFileBytes(RulesFile()), before);
    }

    void missingFileOpensEmptyAndSaveCreatesIt() {
        QVERIFY(!t::FileExists(RulesFile()));
        auto* w = new RuleEditorWindow;
        w->show();
        QCOMPARE(Edit(*w)->toPlainText(), QString());
        Edit(*w)->insertPlainText(QStringLiteral("[目录名]站点[/目录名]"));
        QVERIFY(w->Save());
        QCOMPARE(t::ReadFileBytes(RulesFile()), "[目录名]站点[/目录名]"_t);
    }

    void pathFollowsTheCurrentDirectory() {
        t::TempDir other;
        t::WriteFileBytes(RulesFile(), "first"_t);
        t::WriteFileBytes(other.File("采集配置.txt"), "second"_t);
        QVERIFY(QDir::setCurrent(QString::fromStdString(other.Path())));
        auto* w = new RuleEditorWindow;
        w->show();
        QCOMPARE(Edit(*w)->toPlainText(), QStringLiteral("second"));
        // The path is taken again at the moment of saving.
        QVERIFY(QDir::setCurrent(QString::fromStdString(dir_->Path())));
        Edit(*w)->setPlainText(QStringLiteral("third"));
        QVERIFY(w->Save());
        QCOMPARE(t::ReadFileBytes(RulesFile()), std::string("third"));
        QCOMPARE(t::ReadFileBytes(other.File("采集配置.txt")), std::string("second"));
    }

    void failedWriteStillCloses() {
        // A folder in the file's place: the replacing rename cannot succeed.
        std::filesystem::create_directory(RulesFile());
        auto* w = new RuleEditorWindow;
        QPointer<RuleEditorWindow> alive(w);
        w->show();
        Edit(*w)->setPlainText(QStringLiteral("lost"));
        QVERIFY(!w->Save());
        QTRY_VERIFY(alive.isNull());
        QVERIFY(std::filesystem::is_directory(RulesFile()));
    }

    void largeFileLoadsWhole() {
        std::string big;
        const std::string line = "[内容页面规则]<a href=\"(.*?)\">(.*?)</a>[/内容页面规则]\r\n"_t;
        while (big.size() < 10u * 1024 * 1024)
            big += line;
        t::WriteFileBytes(RulesFile(), big);
        auto* w = new RuleEditorWindow;
        w->show();
        QCOMPARE(Edit(*w)->blockCount(), static_cast<int>(big.size() / line.size()) + 1);
        QVERIFY(w->Save());
        QCOMPARE(t::ReadFileBytes(RulesFile()), big);
    }
};

QTEST_MAIN(RuleEditorWindowQTest)
#include "RuleEditorWindowQTest.moc"
