#include "output.h"

#include "base/files.h"

#include <cerrno>
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

void InOrder::done(int index, std::optional<std::string> output) {
    std::lock_guard<std::mutex> lock(mutex_);
    outputs_[size_t(index)] = std::move(output);
    done_[size_t(index)] = true;
    for (; next_ < done_.size() && done_[next_]; ++next_) {
        std::optional<std::string>& due = outputs_[next_];
        if (!due)
            continue;
        if (!failed_ && !writeOutput(std::string(), std::string(), *due)) {
            failed_ = true;
            printError("standard output", std::strerror(errno));
        }
        if (failed_)
            ++unwritten_;
        due.reset();
    }
}

} // namespace cli
