#include "output.h"

#include "base/files.h"
#include "kernels/text_encoding.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

void printError(const std::string& file, const std::string& reason) {
    // Names of files from anywhere (a batch of downloads) reach the terminal in the file and the reason:
    // neither may steer it.
    std::fprintf(stderr, "tessarine-convert: %s%s\n",
                 file.empty() ? "" : (textcode::shown(file) + ": ").c_str(), textcode::shown(reason).c_str());
}

bool writeStandardOutput(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    printError("standard output", std::strerror(errno));
    return false;
}

bool writeOutput(const std::string& picture, const std::string& path, const std::string& bytes) {
    if (path.empty())
        return writeStandardOutput(bytes);
    bool damaged = false;
    if (const int error = files::writeTarget(path, bytes, &damaged)) {
        printError(picture,
                   "cannot write " + path + ": " + files::describeWriteError(error) +
                       (damaged ? "; its old content could not be put back: the file is damaged" : ""));
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
        if (!failed_ && !writeStandardOutput(*due))
            failed_ = true;
        if (failed_)
            ++unwritten_;
        due.reset();
    }
}

} // namespace cli
