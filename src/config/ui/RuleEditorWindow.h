#pragma once
// The rule editor "编辑规则": the whole rules file "采集配置.txt" of the current directory as one
// plain text, saved back whole by "保存".

#include <QString>
#include <QWidget>

#include <string>

class QPlainTextEdit;
class QPushButton;

namespace gleaner {

class RuleEditorWindow final : public QWidget {
    Q_OBJECT
public:
    /// Loads the file at once. With a parent it is a window of its own that the parent owns.
    explicit RuleEditorWindow(QWidget* parent = nullptr);

    /// The current directory + "/采集配置.txt", computed anew at each call.
    static QString RulesPath();

public slots:
    /// Writes the box's text over the file and closes the window (also when the write failed).
    /// Returns whether the file was written.
    bool Save();

private:
    void Load();

    QPlainTextEdit* edit_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    // The file as loaded: unchanged text is written back as exactly these bytes, and an edited text
    // gets the file's line ends back.
    std::string loadedBytes_;
    QString loadedText_;
    bool crlf_ = true;
};

} // namespace gleaner
