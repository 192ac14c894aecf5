#pragma once
// The publishing settings window "发布配置": the six values and the 是否发布 choice of
// "发布配置.txt" in the program folder, written back whole by "保存".

#include <QWidget>

#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace gleaner {

class PublishSettingsWindow final : public QWidget {
    Q_OBJECT
public:
    /// Loads the file of programDir at once (empty: the folder of the executable). With a parent it
    /// is still a window of its own, which the parent owns.
    explicit PublishSettingsWindow(const std::string& programDir = {}, QWidget* parent = nullptr);

    const std::string& ProgramDir() const { return programDir_; }

public slots:
    /// Writes the seven lines and closes the window, also when the write failed. Returns whether
    /// the file was written.
    bool Save();

private:
    void Load();

    std::string programDir_;
    QLineEdit* address_ = nullptr;
    QLineEdit* account_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* columnId_ = nullptr;
    QLineEdit* tags_ = nullptr;
    QLineEdit* keywords_ = nullptr;
    QComboBox* publish_ = nullptr;
    QPushButton* saveButton_ = nullptr;
};

} // namespace gleaner
