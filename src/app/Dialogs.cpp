#include "app/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

namespace gleaner {
namespace {

std::function<void(const QString&)>& Recorder() {
    static std::function<void(const QString&)> recorder;
    return recorder;
}

} // namespace

void ShowMessageBox(QWidget* parent, const QString& text) {
    if (Recorder()) {
        Recorder()(text);
        return;
    }
    const QString title = parent ? parent->window()->windowTitle() : QString();
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void SetMessageBoxRecorder(std::function<void(const QString&)> recorder) { Recorder() = std::move(recorder); }

SaveFileDialog::SaveFileDialog(QWidget* owner) : QObject(owner), owner_(owner) {
    setObjectName(QStringLiteral("通用对话框1"));
}

QString SaveFileDialog::AskFileName() {
    if (!answers_.empty()) {
        const QString answer = answers_.front();
        answers_.pop_front();
        return answer.isEmpty() ? QString() : QFileInfo(answer).absoluteFilePath();
    }
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Filter());
    dialog.setDefaultSuffix(DefaultSuffix());
    // The overwrite prompt is on by default; the folder must exist for the dialog to accept.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
}

} // namespace gleaner
