#include "config/ui/RuleEditorWindow.h"

#include "config/FileIo.h"
#include "text/Text.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace gleaner {
namespace {

// The edit box keeps one paragraph per line and drops the line-end characters; the text goes in
// with "\n" only and comes back as the document's raw text, which keeps non-breaking spaces.
QString DocumentText(const QPlainTextEdit& edit) {
    QString text = edit.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

RuleEditorWindow::RuleEditorWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("RuleEditorWindow"));
    setWindowTitle(QStringLiteral("编辑规则"));

    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("编辑框1"));
    edit_->setGeometry(19, 12, 772, 300);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    saveButton_ = new QPushButton(QStringLiteral("保存"), this);
    saveButton_->setObjectName(QStringLiteral("按钮1"));
    saveButton_->setGeometry(380, 314, 112, 32);
    connect(saveButton_, &QPushButton::clicked, this, &RuleEditorWindow::Save);

    move(50, 50);
    resize(814, 377);
    Load();
}

QString RuleEditorWindow::RulesPath() { return QDir::currentPath() + QStringLiteral("/采集配置.txt"); }

void RuleEditorWindow::Load() {
    Bytes bytes;
    ReadWholeFile(RulesPath().toStdString(), bytes); // missing or unreadable: empty
    loadedBytes_ = CutAtZero(bytes);
    const QString text = QString::fromStdU16String(ToUtf16(loadedBytes_));
    // Files from the rules' home system end their lines in "\r\n"; so does a new file.
    crlf_ = text.contains(QStringLiteral("\r\n")) || !text.contains(QLatin1Char('\n'));
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Long files lay out far faster without wrapping.
    if (shown.size() > 1'000'000)
        edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setPlainText(shown);
    loadedText_ = DocumentText(*edit_);
}

bool RuleEditorWindow::Save() {
    const QString text = DocumentText(*edit_);
    std::string bytes;
    if (text == loadedText_) {
        bytes = loadedBytes_;
    } else {
        QString written = text;
        if (crlf_)
            written.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        bytes = FromUtf16(written.toStdU16String());
    }
    const bool written = WriteWholeFile(RulesPath().toStdString(), bytes);
    close();
    return written;
}

} // namespace gleaner
