#include "output.h"

#include "base/files.h"

#include <cstdio>
#include <cstring>

namespace cli {

void printError(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "tessarine-convert: %s%s\n", file.empty() ? "" : (file + ": ").c_str(),
                 reason.c_str());
}

bool writeOutput(const std::string& picture, const std::string& path, const std::string& bytes) {
    if (path.empty())
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    if (const int error = files::writeFileWhole(path, bytes)) {
        printError(picture, "cannot write " + path + ": " + std::strerror(error));
        return false;
    }
    return true;
}

} // namespace cli
