#pragma once

#include "kernels/errors.h"

#include <optional>
#include <string>
#include <vector>

// tessarine-convert's command line, parsed without any toolkit: long options take "--name VALUE" or
// "--name=VALUE", short ones "-o VALUE" or "-oVALUE"; "--" ends the options, and "-" alone is a picture
// read from standard input.
namespace cli {

// A command line the converter cannot act on (exit status 2): the error of kind Usage.
err::Error usage(const std::string& message);

struct Options {
    bool help = false;
    bool version = false;
    bool order = false;
    bool crlf = false;
    bool noCache = false;
    bool invert = false;
    std::optional<std::string> output, table, chars, font, size, scale, columns, settings, format;
    std::optional<std::string> color; // "truecolor", "256" or "16"; given alone, "truecolor"
    std::vector<std::string> pictures;
};

Options parseOptions(const std::vector<std::string>& arguments);

// The text --help prints.
std::string helpText();

} // namespace cli
