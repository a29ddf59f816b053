#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the converter writes besides its text: the outputs of pictures, and its messages.
namespace cli {

// Prints "tessarine-convert: FILE: REASON" (or without FILE) on standard error.
void printError(const std::string& file, const std::string& reason);

// Writes a picture's output to standard output (an empty `path`), or where its path points
// (files::writeTarget: a regular file is replaced whole, a pipe or a device written as it is). A failure
// is reported for `picture`; false then.
bool writeOutput(const std::string& picture, const std::string& path, const std::string& bytes);

// Writes text to standard output and flushes it; a failure (a full disk, a closed pipe's EPIPE) is
// reported naming standard output. False then.
bool writeStandardOutput(std::string_view text);

// Outputs that go to standard output, each written whole and in the order of the jobs, whichever is done
// first: a job's output waits only for the outputs before it.
class InOrder {
  public:
    explicit InOrder(int jobs) : outputs_(size_t(jobs)), done_(size_t(jobs), false) {}

    // Job `index` is done, with its output (nothing when it failed). Writes every output now due.
    void done(int index, std::optional<std::string> output);
    // Outputs that could not be written (standard output failed; reported once).
    int unwritten() const { return unwritten_; }

  private:
    std::mutex mutex_;
    std::vector<std::optional<std::string>> outputs_;
    std::vector<bool> done_;
    size_t next_ = 0;
    bool failed_ = false;
    int unwritten_ = 0;
};

} // namespace cli
