#pragma once

#include "kernels/errors.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// tessarine-convert's command line, parsed without any toolkit: long options take "--name VALUE" or
// "--name=VALUE" (an optional value only the latter), short ones "-o VALUE" or "-oVALUE"; "--" ends the
// options, and "-" alone is a picture read from standard input. Every option is one row of a table that
// also holds its help.
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
    bool dither = false;
    bool score = false;
    bool fgOnly = false;
    std::optional<std::string> mapping, levels, brightness, contrast, gamma, background;
    std::optional<std::string> output, table, chars, font, size, scale, columns, rows, settings, format;
    std::optional<std::string> color; // "truecolor", "256" or "16"; given alone, "truecolor"
    std::vector<std::string> pictures;
};

struct OptionRule {
    const char* longName;                                // without "--"; null for a short name alone
    char shortName;                                      // 0: none
    const char* value;                                   // the value's name in the help; null for a switch
    std::optional<std::string> Options::*text = nullptr; // where a value goes
    bool Options::*flag = nullptr;                       // or a switch
    const char* help = nullptr;                          // null: not listed
    // For an option whose value may be left out: the value then. Such a value is given only after "="
    // (--color=256), so the next argument is never taken for it.
    const char* defaultValue = nullptr;
};

// Every option the converter knows, in the order --help lists them.
std::span<const OptionRule> optionRules();

Options parseOptions(const std::vector<std::string>& arguments);

// The text --help prints.
std::string helpText();

} // namespace cli
