#include "output/ui/PublishSettingsWindow.h"

#include "output/PublishSettings.h"
#include "text/Text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace gleaner {
namespace {

QString Shown(const Text& text) { return QString::fromStdU16String(ToUtf16(text)); }
Text Typed(const QString& text) { return FromUtf16(text.toStdU16String()); }

QLabel* Label(QWidget* parent, const char16_t* name, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf16(name));
    label->setGeometry(place);
    return label;
}

QLineEdit* Edit(QWidget* parent, const char16_t* name, const QRect& place) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf16(name));
    edit->setGeometry(place);
    // The default cap of 32767 characters would cut a longer stored value on the next save.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

} // namespace

PublishSettingsWindow::PublishSettingsWindow(const std::string& programDir, QWidget* parent)
    : QWidget(parent, Qt::Window),
      programDir_(programDir.empty() ? QCoreApplication::applicationDirPath().toStdString() : programDir) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("PublishSettingsWindow"));
    setWindowTitle(QStringLiteral("发布配置"));

    Label(this, u"标签1", QStringLiteral("后台网址"), {16, 16, 56, 40});
    address_ = Edit(this, u"后台网址编辑框", {83, 20, 309, 32});
    Label(this, u"标签5", QStringLiteral("如：http://127.0.0.1/dede"), {402, 16, 160, 40});
    Label(this, u"标签2", QStringLiteral("后台账号"), {16, 64, 56, 40});
    account_ = Edit(this, u"后台账号编辑框", {83, 68, 125, 32});
    Label(this, u"标签3", QStringLiteral("后台密码"), {218, 64, 56, 40});
    password_ = Edit(this, u"后台密码编辑框", {285, 68, 125, 32});
    password_->setEchoMode(QLineEdit::Password);
    Label(this, u"标签4", QStringLiteral("栏目ID"), {422, 64, 42, 40});
    columnId_ = Edit(this, u"栏目ID编辑框", {468, 68, 40, 32});
    Label(this, u"标签6", QStringLiteral("内容标签"), {16, 112, 56, 40});
    tags_ = Edit(this, u"内容标签编辑框", {83, 116, 213, 32});
    Label(this, u"标签7", QStringLiteral("内容关键字"), {308, 112, 68, 40});
    keywords_ = Edit(this, u"内容关键字编辑框", {381, 116, 214, 32});
    Label(this, u"标签8", QStringLiteral("是否发布"), {17, 164, 56, 40});

    // A drop-down list: only "否" and "是" can be chosen, so a save writes one of them or nothing.
    publish_ = new QComboBox(this);
    publish_->setObjectName(QStringLiteral("组合框1"));
    publish_->setGeometry(88, 176, 64, 20);
    publish_->addItem(QStringLiteral("否"));
    publish_->addItem(QStringLiteral("是"));

    saveButton_ = new QPushButton(QStringLiteral("保存"), this);
    saveButton_->setObjectName(QStringLiteral("按钮1"));
    saveButton_->setGeometry(385, 163, 128, 40);
    connect(saveButton_, &QPushButton::clicked, this, &PublishSettingsWindow::Save);

    move(50, 50);
    resize(619, 241);
    Load();
}

void PublishSettingsWindow::Load() {
    const PublishSettings s = LoadPublishSettings(programDir_);
    address_->setText(Shown(s.backendAddress));
    account_->setText(Shown(s.account));
    password_->setText(Shown(s.password));
    columnId_->setText(Shown(s.columnId));
    tags_->setText(Shown(s.tags));
    keywords_->setText(Shown(s.keywords));
    // The stored text selects the item that bears it; any other text selects none.
    publish_->setCurrentIndex(publish_->findText(Shown(s.publish), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool PublishSettingsWindow::Save() {
    PublishSettings s;
    s.backendAddress = Typed(address_->text());
    s.account = Typed(account_->text());
    s.password = Typed(password_->text());
    s.columnId = Typed(columnId_->text());
    s.tags = Typed(tags_->text());
    s.keywords = Typed(keywords_->text());
    s.publish = publish_->currentIndex() < 0 ? Text() : Typed(publish_->currentText());
    const bool written = SavePublishSettings(programDir_, s);
    close();
    return written;
}

} // namespace gleaner
