#pragma once

#include "output.h"
#include "picture_input.h"
#include "plan.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

// The surroundings the converter makes its plan in: its own environment, the terminal its standard output
// is (asked with care: terminal/terminal.h), its standard input, its file system and its standard error.
namespace surroundings {

class Process final : public cli::Surroundings {
  public:
    const char* variable(const char* name) const override { return std::getenv(name); }
    bool outputIsTerminal() const override { return ::isatty(STDOUT_FILENO); }
    std::optional<px::Size> terminalSize() const override { return cli::terminalSize(STDOUT_FILENO); }
    std::optional<px::Size> terminalCell() const override { return cli::terminalCell(STDOUT_FILENO); }
    std::optional<cli::Background> askBackground() override {
        return cli::askBackground(STDIN_FILENO, STDOUT_FILENO);
    }
    std::string keepStandardInput() override { return picture_input::keepStandardInput(); }
    bool makeFolder(const std::string& path) override {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        return std::filesystem::is_directory(path, ec);
    }
    void report(const std::string& picture, const std::string& reason) override {
        cli::printError(picture, reason);
    }
};

} // namespace surroundings
