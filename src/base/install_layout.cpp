#include "base/install_layout.h"

#include <filesystem>
#include <sys/stat.h>

namespace layout {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

std::string programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string dataFile(const std::string& programFolder, const std::string& name) {
    const std::string beside = programFolder + "/" + name;
    if (exists(beside))
        return beside;
    const std::string installed = programFolder + "/" TESSARINE_DATA_FROM_BINDIR "/" + name;
    return exists(installed) ? installed : beside;
}

std::string moduleFile(const std::string& programFolder, const std::string& name) {
    const std::string beside = programFolder + "/" + name;
    if (exists(beside))
        return beside;
    return programFolder + "/" TESSARINE_MODULE_FROM_BINDIR "/" + name;
}

} // namespace layout
