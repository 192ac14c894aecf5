// Saved pages, the result text file and the dated backups.

#include "collect/SavedFiles.h"

#include "config/FileIo.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>

namespace gleaner {

namespace {

bool MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One lock for every result text file: two runs saving at once must not let the older state's
// rename land after the newer one.
std::mutex& SaveMutex() {
    static std::mutex mutex;
    return mutex;
}

const std::string_view kSeparator = "|,|";

} // namespace

bool CreateProgramFolders(const std::string& folder) {
    bool ok = true;
    for (const char* name : {PagesFolder, EndBackupFolder, StartBackupFolder})
        ok = MakeFolder(JoinPath(folder, name)) && ok;
    return ok;
}

Text TimeStampName(const LocalTime& t) {
    std::string utf8 = std::to_string(t.year) + "年" + std::to_string(t.month) + "月" + std::to_string(t.day) + "日";
    if (t.second != 0)
        utf8 += std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分" + std::to_string(t.second) + "秒";
    else if (t.minute != 0)
        utf8 += std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分";
    else if (t.hour != 0)
        utf8 += std::to_string(t.hour) + "时";
    return FromUtf8(utf8);
}

bool IsSafeFolderName(const Text& folderName) {
    if (!folderName.empty() && (folderName[0] == '/' || folderName[0] == '\\'))
        return false;
    // Split on both separators; a lead byte's second byte can be '\\' in GBK, so walk by steps.
    std::size_t componentStart = 0;
    for (std::size_t i = 0; i <= folderName.size();) {
        const bool atEnd = i == folderName.size();
        if (atEnd || folderName[i] == '/' || folderName[i] == '\\') {
            if (std::string_view(folderName).substr(componentStart, i - componentStart) == "..")
                return false;
            if (atEnd)
                break;
            componentStart = ++i;
            continue;
        }
        i += StepAt(folderName, i);
    }
    return true;
}

Text ImmediateSaveText(const ResultList& results, SaveForm form) {
    if (form == SaveForm::TwoLevel) {
        Text out;
        results.VisitRows([&](const ResultList::RowView& cells) {
            out += cells[1];
            out += kSeparator;
        });
        return out;
    }
    Text lines[9];
    results.VisitRows([&](const ResultList::RowView& cells) {
        for (int k = 1; k <= 9; ++k) {
            lines[k - 1] += cells[k];
            lines[k - 1] += kSeparator;
        }
    });
    std::size_t total = 4;
    for (const Text& line : lines)
        total += line.size() + 2;
    Text out;
    out.reserve(total);
    for (const Text& line : lines) {
        out += line;
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

RunFiles::RunFiles(std::string programDir, std::string workingDir, const Text& folderName, const Clock& clock)
    : programDir_(std::move(programDir)), workingDir_(std::move(workingDir)), folderUtf8_(ToUtf8(folderName)),
      clock_(clock) {
    const std::string pages = JoinPath(programDir_, PagesFolder);
    pageFolder_ = folderUtf8_.empty() ? pages : JoinPath(pages, folderUtf8_);
    resultTextPath_ = JoinPath(pageFolder_, folderUtf8_ + ".txt");
}

bool RunFiles::CreatePageFolder() const {
    if (folderUtf8_.empty())
        return true; // the page folder is "下载网页" itself, made at start-up
    const std::string base = JoinPath(workingDir_.empty() ? std::string(".") : workingDir_, PagesFolder);
    return MakeFolder(JoinPath(base, folderUtf8_));
}

bool RunFiles::SavePage(const Text& name, const Text& pageText) const {
    return WriteWholeFile(JoinPath(pageFolder_, ToUtf8(name) + ".html"), CutAtZero(pageText));
}

bool RunFiles::ImmediateSave(const ResultList& results, SaveForm form) const {
    std::lock_guard<std::mutex> lock(SaveMutex());
    return WriteWholeFile(resultTextPath_, ImmediateSaveText(results, form));
}

bool RunFiles::Backup(const char* folder) const {
    const std::string target =
        JoinPath(JoinPath(programDir_, folder), ToUtf8(TimeStampName(clock_.Now())) + ".txt");
    std::lock_guard<std::mutex> lock(SaveMutex()); // copy a finished file, never one mid-save
    return CopyWholeFile(resultTextPath_, target);
}

bool RunFiles::StartBackup() const { return Backup(StartBackupFolder); }
bool RunFiles::EndBackup() const { return Backup(EndBackupFolder); }

} // namespace gleaner
