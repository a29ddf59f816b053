#pragma once

#include "kernels/errors.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// tessarine-convert's command line, parsed without any toolkit: long options take "--name VALUE" or
// "--name=VALUE" (an optional value only the latter, or a word of its own values), short ones "-o VALUE" or
// "-oVALUE"; "--" ends the options, and "-" alone is a picture read from standard input. Every option is
// one row of a table that holds its names (the peers' names for it among them), its values and its help; a
// name that is wrong gets the nearest known one suggested.
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
    bool fill = false; // two colours a cell, as --color gives them (jp2a's --fill)
    bool stretch = false;
    bool flipX = false, flipY = false;
    std::optional<std::string> mapping, levels, brightness, contrast, gamma, background;
    std::optional<std::string> output, table, chars, font, size, scale, columns, rows, settings, format;
    std::optional<std::string> fit;     // -s WxH: the largest grid within W x H that keeps the proportions
    std::optional<std::string> symbols; // chafa's classes of symbols, as tables
    std::optional<std::string> color;   // "truecolor", "256", "16" (or chafa's "full" and "none")
    std::optional<std::string> animate, loops, duration;
    std::vector<std::string> pictures;
};

// A word other converters' users type for one of an option's words (chafa's --colors full is truecolor).
struct WordAlias {
    const char* word;
    const char* means;
};

struct OptionRule {
    const char* longName;                                // without "--"; null for a short name alone
    char shortName;                                      // 0: none
    const char* value;                                   // the value's name in the help; null for a switch
    std::optional<std::string> Options::*text = nullptr; // where a value goes
    bool Options::*flag = nullptr;                       // or a switch
    const char* help = nullptr;                          // null: not listed
    // For a value of another kind than words (a number, a size): its check, run as the command line is read
    // (option_values.h); it raises a usage error naming `option`.
    void (*check)(const char* option, const std::string& value) = nullptr;
    // For an option whose value may be left out: the value then. Such a value is given after "=", or as
    // the next argument when that is one of `words` (--color 256), so a picture is never taken for it.
    const char* defaultValue = nullptr;
    // The other names users of other converters type for it, with their dashes ("--width", "-W").
    std::vector<const char*> aliases = {};
    // The words its value may be, when they are fixed: its own, or those of the table that defines them
    // (`vocabulary`: the output forms, the mappings), and the words users of other converters type for one
    // of them. A value that is none of them is refused as it is read, with the nearest suggested.
    std::vector<const char*> words = {};
    std::vector<std::string_view> (*vocabulary)() = nullptr;
    std::vector<WordAlias> wordAliases = {};
    // For a switch that others give a value: what to say when one comes.
    const char* valueRefused = nullptr;
};

// Every option the converter knows, in the order --help lists them.
std::span<const OptionRule> optionRules();

// Reads the command line, checking each value by its row as it comes; raises a usage error for the first
// that is wrong (a value's only when neither --help nor --version is asked for).
Options parseOptions(const std::vector<std::string>& arguments);

// Every word a rule's value may be, in the order its messages list them: each word followed by its aliases.
std::vector<std::string> optionWords(const OptionRule& rule);

// The word of its row a checked value stands for: the value itself, or the word its alias means
// (--format ansi is text, --symbols block the table blocks).
std::string wordMeant(const char* option, const std::string& value);

// Reads the command line, checking each value by its row as it comes; raises a usage error for the first
// that is wrong (a value's only when neither --help nor --version is asked for).
Options parseOptions(const std::vector<std::string>& arguments);

// Every word a rule's value may be, in the order its messages list them: each word followed by its aliases.
std::vector<std::string> optionWords(const OptionRule& rule);

// The word of its row a checked value stands for: the value itself, or the word its alias means
// (--format ansi is text, --symbols block the table blocks).
std::string wordMeant(const char* option, const std::string& value);

// The nearest of some words to what was typed: one it begins, or one a couple of edits away; nothing when
// none is near.
std::optional<std::string> nearestWord(const std::string& typed, const std::vector<std::string>& words);

// The text --help prints.
std::string helpText();

} // namespace cli
