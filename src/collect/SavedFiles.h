#pragma once
// What a run leaves on disk: saved pages and the result text file in the page folder, and the
// dated backups of that file. Every path goes through the program folder; every file is replaced
// whole and atomically.

#include "collect/Clock.h"
#include "collect/ResultList.h"
#include "text/Text.h"

#include <string>

namespace gleaner {

// Folder names beside the program (UTF-8, as file names).
inline constexpr const char* PagesFolder = "下载网页";
inline constexpr const char* StartBackupFolder = "采集前保存备份";
inline constexpr const char* EndBackupFolder = "采集完保存备份";

/// Creates the three folders in `folder` (what start-up does); existing ones are left as they are.
/// True when all three exist afterwards.
bool CreateProgramFolders(const std::string& folder);

/// The backup file name for a moment: "%d年%d月%d日" then "%d时%d分%d秒" when the seconds are not 0,
/// else "%d时%d分" when the minutes are not 0, else "%d时" when the hour is not 0, else nothing.
Text TimeStampName(const LocalTime& time);

/// A [目录名] that stays inside "下载网页": not absolute and without a ".." component (both "/" and
/// "\" count as separators, so a rules file written elsewhere cannot climb out either).
bool IsSafeFolderName(const Text& folderName);

enum class SaveForm {
    SingleLevel, // nine lines, one per column 1 .. 9, each cell followed by "|,|"; CR LF; CR LF CR LF at the end
    TwoLevel,    // one line of column 1 cells, each followed by "|,|"; no line end
};

/// The result text file's content for the list as it is now.
Text ImmediateSaveText(const ResultList& results, SaveForm form);

/// The files of one run, for one FolderName.
class RunFiles {
public:
    /// programDir: base of every file (UTF-8). workingDir: where the page folder is created
    /// (empty: the process's current directory). folderName: [目录名], code-page text.
    RunFiles(std::string programDir, std::string workingDir, const Text& folderName, const Clock& clock);

    /// programDir/下载网页/FolderName (programDir/下载网页 for an empty name).
    const std::string& PageFolder() const { return pageFolder_; }
    /// PageFolder/FolderName.txt (".txt" for an empty name).
    const std::string& ResultTextPath() const { return resultTextPath_; }

    /// Creates the page folder relative to the working directory; an existing folder or a failure
    /// is ignored. False when it could not be created (and does not exist).
    bool CreatePageFolder() const;
    /// Writes PageFolder/name.html with the page text exactly. False when it could not be written.
    bool SavePage(const Text& name, const Text& pageText) const;
    /// Rewrites the result text file from the list. Saves of every run are serialised, so the file
    /// always holds a state of the list that was complete when it was taken.
    bool ImmediateSave(const ResultList& results, SaveForm form) const;
    /// Copies the result text file to 采集前保存备份/TimeStampName.txt. False (nothing made) when
    /// there is no result text file yet or the copy failed.
    bool StartBackup() const;
    /// The same into 采集完保存备份.
    bool EndBackup() const;

private:
    bool Backup(const char* folder) const;

    std::string programDir_;
    std::string workingDir_;
    std::string folderUtf8_;
    std::string pageFolder_;
    std::string resultTextPath_;
    const Clock& clock_;
};

} // namespace gleaner
