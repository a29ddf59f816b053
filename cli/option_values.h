#pragma once

#include <string>
#include <utility>

// The values options take besides words: numbers, whole numbers and sizes "WxH". Each option's row checks
// its value with one of the checks below as the command line is read, raising a usage error that says what
// the option takes; the plan then reads the value (base/numbers.h's readers), knowing it is good.
namespace option_values {

// "WxH" as its two whole numbers (0 for a side that is none).
std::pair<long long, long long> wholeSides(const std::string& text);

// The longest time a play may be bounded to: a day.
constexpr double kMaxSeconds = 86400;

// The checks, one for each kind of value: `option` is the option's name in the message.
void gridSide(const char* option, const std::string& value);   // 1 to the largest text side
void gridSize(const char* option, const std::string& value);   // WxH, each a grid side
void factors(const char* option, const std::string& value);    // HxV, whole numbers of at least 1
void points(const char* option, const std::string& value);     // a number (the font's size)
void brightness(const char* option, const std::string& value); // a whole number within its range
void contrast(const char* option, const std::string& value);
void gamma(const char* option, const std::string& value);
void plays(const char* option, const std::string& value);   // how many times: at least 1
void seconds(const char* option, const std::string& value); // a time above 0, at most kMaxSeconds

} // namespace option_values
