#pragma once

#include "plan.h"

// The surroundings the converter makes its plan in: its own environment, the terminal its standard output
// is, its standard input, its file system and its standard error.
namespace surroundings {

class Process final : public cli::Surroundings {
  public:
    const char* variable(const char* name) const override;
    bool outputIsTerminal() const override;
    std::optional<px::Size> terminalSize() const override;
    std::optional<px::Size> terminalCell() const override;
    std::optional<cli::Background> askBackground() override;
    std::string keepStandardInput() override;
    bool makeFolder(const std::string& path) override;
    void report(const std::string& picture, const std::string& reason) override;
};

} // namespace surroundings
