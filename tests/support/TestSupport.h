#pragma once
// Shared test helpers: temporary folders and whole-file access.

#include <string>

namespace gleaner::test {

/// A fresh folder under the system's temporary folder, removed with its content at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFileBytes(const std::string& path, const std::string& bytes);
/// The file's bytes; empty when missing.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
/// The source tree (GLEANER_SOURCE_DIR) and the build's program folder (GLEANER_BIN_DIR).
std::string SourceDir();
std::string BinDir();

} // namespace gleaner::test
