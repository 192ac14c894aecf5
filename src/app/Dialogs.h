#pragma once
// Message boxes and the save dialog of the main window, with a seam so a test can answer them in
// advance instead of meeting a real modal dialog.

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

class QWidget;

namespace gleaner {

/// A plain message box with an OK button. While a recorder is installed the text goes to it instead
/// and the call returns at once.
void ShowMessageBox(QWidget* parent, const QString& text);
/// Installs (or, with an empty function, removes) the recorder of message boxes. UI thread only.
void SetMessageBoxRecorder(std::function<void(const QString& text)> recorder);

/// "通用对话框1": the save-file dialog of the spreadsheet export (filter "*.xls", default suffix
/// "xls", asks before overwriting).
class SaveFileDialog : public QObject {
    Q_OBJECT
public:
    explicit SaveFileDialog(QWidget* owner);
    QString Filter() const { return QStringLiteral("*.xls"); }
    QString DefaultSuffix() const { return QStringLiteral("xls"); }
    /// The chosen file's absolute path, or empty when the user cancelled.
    QString AskFileName();
    /// Answers the next AskFileName without a dialog: a path, or an empty text for "cancel".
    void SetNextAnswer(const QString& path) { answers_.push_back(path); }

private:
    QWidget* owner_;
    std::deque<QString> answers_;
};

} // namespace gleaner
