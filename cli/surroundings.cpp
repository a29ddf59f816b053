#include "surroundings.h"

#include "output.h"
#include "picture_input.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace surroundings {

const char* Process::variable(const char* name) const {
    return std::getenv(name);
}

bool Process::outputIsTerminal() const {
    return ::isatty(STDOUT_FILENO);
}

std::optional<px::Size> Process::terminalSize() const {
    return cli::terminalSize(STDOUT_FILENO);
}

std::optional<px::Size> Process::terminalCell() const {
    return cli::terminalCell(STDOUT_FILENO);
}

std::optional<cli::Background> Process::askBackground() {
    return cli::askBackground(STDIN_FILENO, STDOUT_FILENO);
}

std::string Process::keepStandardInput() {
    return picture_input::keepStandardInput();
}

bool Process::makeFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

void Process::report(const std::string& picture, const std::string& reason) {
    cli::printError(picture, reason);
}

} // namespace surroundings
