#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace gleaner::test {

TempDir::TempDir() {
    std::random_device rd;
    for (;;) {
        fs::path p = fs::temp_directory_path() / ("gleaner-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p.string();
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string SourceDir() {
    const char* s = std::getenv("GLEANER_SOURCE_DIR");
    return s ? s : GLEANER_SOURCE_DIR_DEFAULT;
}

std::string BinDir() {
    const char* s = std::getenv("GLEANER_BIN_DIR");
    return s ? s : GLEANER_BIN_DIR_DEFAULT;
}

} // namespace gleaner::test
