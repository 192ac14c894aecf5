// The publishing settings window against real files in temporary folders: its controls, the exact
// bytes of a save, the round trip of blanks and odd bytes, the combo box choice, the close box.

#include "output/ui/PublishSettingsWindow.h"
#include "support/TestSupport.h"
#include "text/Text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>

using gleaner::PublishSettingsWindow;
using gleaner::operator""_t;
namespace t = gleaner::test;

Q_DECLARE_METATYPE(std::string)

namespace {

const char* const kEdits[] = {"后台网址编辑框", "后台账号编辑框", "后台密码编辑框",
                              "栏目ID编辑框", "内容标签编辑框", "内容关键字编辑框"};

std::string FileText(const std::string (&values)[7]) {
    std::string text;
    const char* keys[] = {"后台网址编辑框", "后台账号编辑框", "后台密码编辑框", "栏目ID编辑框",
                          "内容标签编辑框", "内容关键字编辑框", "是否发布"};
    for (int i = 0; i < 7; ++i) {
        if (i > 0)
            text += "\r\n";
        text += "["_t + gleaner::FromUtf8(keys[i]) + "]" + values[i] + "[/" + gleaner::FromUtf8(keys[i]) + "]";
    }
    return text;
}

QLineEdit* EditBox(QWidget& w, const char* name) { return w.findChild<QLineEdit*>(QString::fromUtf8(name)); }
QComboBox* Combo(QWidget& w) { return w.findChild<QComboBox*>(QStringLiteral("组合框1")); }
QPushButton* SaveButton(QWidget& w) { return w.findChild<QPushButton*>(QStringLiteral("按钮1")); }
QString Q(const std::string& text) { return QString::fromStdU16String(gleaner::ToUtf16(text)); }

} // namespace

class PublishSettingsWindowQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<t::TempDir> dir_;
    std::string SettingsFile() const { return dir_->File("发布配置.txt"); }

    // Clicks "保存" on a heap window and checks that it closed (and so was deleted).
    void ClickSave(PublishSettingsWindow* w) {
        QPointer<PublishSettingsWindow> alive(w);
        w->show();
        QTest::mouseClick(SaveButton(*w), Qt::LeftButton);
        QTRY_VERIFY(alive.isNull());
    }

private slots:
    void init() { dir_ = std::make_unique<t::TempDir>(); }
    void cleanup() { dir_.reset(); }

    void windowAndControls() {
        PublishSettingsWindow w(dir_->Path());
        QCOMPARE(w.windowTitle(), QStringLiteral("发布配置"));
        QCOMPARE(w.size(), QSize(619, 241));
        QCOMPARE(w.pos(), QPoint(50, 50));
        struct Place {
            const char* name;
            const char* text; // null: an edit box
            QRect rect;
        };
        const Place places[] = {
            {"标签1", "后台网址", {16, 16, 56, 40}},        {"后台网址编辑框", nullptr, {83, 20, 309, 32}},
            {"标签5", "如：http://127.0.0.1/dede", {402, 16, 160, 40}},
            {"标签2", "后台账号", {16, 64, 56, 40}},        {"后台账号编辑框", nullptr, {83, 68, 125, 32}},
            {"标签3", "后台密码", {218, 64, 56, 40}},       {"后台密码编辑框", nullptr, {285, 68, 125, 32}},
            {"标签4", "栏目ID", {422, 64, 42, 40}},         {"栏目ID编辑框", nullptr, {468, 68, 40, 32}},
            {"标签6", "内容标签", {16, 112, 56, 40}},       {"内容标签编辑框", nullptr, {83, 116, 213, 32}},
            {"标签7", "内容关键字", {308, 112, 68, 40}},    {"内容关键字编辑框", nullptr, {381, 116, 214, 32}},
            {"标签8", "是否发布", {17, 164, 56, 40}},
        };
        for (const Place& p : places) {
            QWidget* c = w.findChild<QWidget*>(QString::fromUtf8(p.name));
            QVERIFY2(c, p.name);
            QCOMPARE(c->geometry(), p.rect);
            if (p.text) {
                auto* label = qobject_cast<QLabel*>(c);
                QVERIFY2(label, p.name);
                QCOMPARE(label->text(), QString::fromUtf8(p.text));
            } else {
                QVERIFY2(qobject_cast<QLineEdit*>(c), p.name);
            }
        }
        QCOMPARE(EditBox(w, "后台密码编辑框")->echoMode(), QLineEdit::Password);
        QCOMPARE(EditBox(w, "后台网址编辑框")->echoMode(), QLineEdit::Normal);
        QVERIFY(Combo(w));
        QCOMPARE(Combo(w)->geometry(), QRect(88, 176, 64, 20));
        QCOMPARE(Combo(w)->count(), 2);
        QCOMPARE(Combo(w)->itemText(0), QStringLiteral("否"));
        QCOMPARE(Combo(w)->itemText(1), QStringLiteral("是"));
        QVERIFY(SaveButton(w));
        QCOMPARE(SaveButton(w)->text(), QStringLiteral("保存"));
        QCOMPARE(SaveButton(w)->geometry(), QRect(385, 163, 128, 40));
    }

    void theProgramFolderIsTheDefault() {
        PublishSettingsWindow w;
        QCOMPARE(QString::fromStdString(w.ProgramDir()), QCoreApplication::applicationDirPath());
    }

    void allEmptySaveWritesTheSevenEmptyTags() {
        auto* w = new PublishSettingsWindow(dir_->Path()); // no file yet
        for (const char* name : kEdits)
            QCOMPARE(EditBox(*w, name)->text(), QString());
        QCOMPARE(Combo(*w)->currentIndex(), -1);
        ClickSave(w);
        const std::string expected = "[后台网址编辑框][/后台网址编辑框]\r\n[后台账号编辑框][/后台账号编辑框]\r\n"
                                     "[后台密码编辑框][/后台密码编辑框]\r\n[栏目ID编辑框][/栏目ID编辑框]\r\n"
                                     "[内容标签编辑框][/内容标签编辑框]\r\n[内容关键字编辑框][/内容关键字编辑框]\r\n"
                                     "[是否发布][/是否发布]"_t;
        QCOMPARE(t::ReadFileBytes(SettingsFile()), expected);
    }

    void typedValuesRoundTripExactly() {
        // Leading and trailing blanks (also the full-width one), Chinese, tag-like text and bytes
        // that are no character all come back as they were typed.
        const std::string values[7] = {" http://127.0.0.1:8080/dede ", "\xa1\xa1管理员 "_t, "p w&=%\"'",
                                       "12", " 新闻,科技 "_t, "x\xff\x80y", "是"_t};
        auto* w = new PublishSettingsWindow(dir_->Path());
        for (int i = 0; i < 6; ++i)
            EditBox(*w, kEdits[i])->setText(Q(values[i]));
        Combo(*w)->setCurrentIndex(1);
        ClickSave(w);
        QCOMPARE(t::ReadFileBytes(SettingsFile()), FileText(values));

        PublishSettingsWindow again(dir_->Path());
        for (int i = 0; i < 6; ++i)
            QCOMPARE(EditBox(again, kEdits[i])->text(), Q(values[i]));
        QCOMPARE(Combo(again)->currentIndex(), 1);
        // A load followed by a save keeps the file's bytes.
        QVERIFY(again.Save());
        QCOMPARE(t::ReadFileBytes(SettingsFile()), FileText(values));
    }

    void storedTextSelectsTheComboItem_data() {
        QTest::addColumn<std::string>("stored");
        QTest::addColumn<int>("index");
        QTest::addColumn<std::string>("savedBack");
        QTest::newRow("否") << "否"_t << 0 << "否"_t;
        QTest::newRow("是") << "是"_t << 1 << "是"_t;
        QTest::newRow("empty") << std::string() << -1 << std::string();
        QTest::newRow("with a blank") << " 是"_t << -1 << std::string();
        QTest::newRow("other text") << std::string("yes") << -1 << std::string();
    }
    void storedTextSelectsTheComboItem() {
        QFETCH(std::string, stored);
        QFETCH(int, index);
        QFETCH(std::string, savedBack);
        t::WriteFileBytes(SettingsFile(), "[是否发布]"_t + stored + "[/是否发布]"_t);
        auto* w = new PublishSettingsWindow(dir_->Path());
        QCOMPARE(Combo(*w)->currentIndex(), index);
        ClickSave(w);
        const std::string values[7] = {"", "", "", "", "", "", savedBack};
        QCOMPARE(t::ReadFileBytes(SettingsFile()), FileText(values));
    }

    void handEditedFileInAnotherOrderLoadsTheSameValues() {
        t::WriteFileBytes(SettingsFile(), "note\r\n[是否发布]否[/是否发布] [内容关键字编辑框]k1[/内容关键字编辑框]\n"
                                          "[栏目ID编辑框]7[/栏目ID编辑框]xx[后台密码编辑框]secret[/后台密码编辑框]"
                                          "[内容标签编辑框]标签[/内容标签编辑框]\r\n\r\n"
                                          "[后台账号编辑框]admin[/后台账号编辑框][后台网址编辑框]http://h/dede[/后台网址编辑框]"_t);
        PublishSettingsWindow w(dir_->Path());
        const char* expected[] = {"http://h/dede", "admin", "secret", "7", "标签", "k1"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(EditBox(w, kEdits[i])->text(), QString::fromUtf8(expected[i]));
        QCOMPARE(Combo(w)->currentIndex(), 0);
    }

    void closeBoxDiscardsEdits() {
        const std::string values[7] = {"http://a/dede", "u", "p", "1", "t", "k", "否"_t};
        t::WriteFileBytes(SettingsFile(), FileText(values));
        auto* w = new PublishSettingsWindow(dir_->Path());
        QPointer<PublishSettingsWindow> alive(w);
        w->show();
        EditBox(*w, "后台账号编辑框")->setText(QStringLiteral("changed"));
        Combo(*w)->setCurrentIndex(1);
        QVERIFY(w->close());
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(t::ReadFileBytes(SettingsFile()), FileText(values));
    }

    void failedWriteStillClosesAndKeepsNothing() {
        const std::string missingFolder = dir_->File("no such folder");
        auto* w = new PublishSettingsWindow(missingFolder);
        QPointer<PublishSettingsWindow> alive(w);
        EditBox(*w, "后台账号编辑框")->setText(QStringLiteral("u"));
        QVERIFY(!w->Save());
        QTRY_VERIFY(alive.isNull());
        QVERIFY(!t::FileExists(missingFolder + "/发布配置.txt"));
    }
};

QTEST_MAIN(PublishSettingsWindowQTest)
#include "PublishSettingsWindowQTest.moc"
