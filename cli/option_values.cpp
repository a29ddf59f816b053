#include "option_values.h"

#include "base/numbers.h"
#include "kernels/character_choice.h"
#include "kernels/limits.h"
#include "options.h"

#include <optional>

namespace option_values {

namespace {

// "WxH": the texts before and after its first "x".
std::optional<std::pair<std::string, std::string>> sides(const std::string& text) {
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    return std::pair(text.substr(0, x), text.substr(x + 1));
}

void wholeWithin(const char* option, const std::string& value, int lowest, int highest) {
    const std::optional<long long> n = numbers::readSignedWhole(value);
    if (!n || *n < lowest || *n > highest)
        throw cli::usage(std::string(option) + " takes a whole number from " + std::to_string(lowest) +
                         " to " + std::to_string(highest));
}

} // namespace

std::pair<long long, long long> wholeSides(const std::string& text) {
    const auto wh = sides(text);
    return wh ? std::pair(numbers::readWhole(wh->first).value_or(0),
                          numbers::readWhole(wh->second).value_or(0))
              : std::pair(0LL, 0LL);
}

void gridSide(const char* option, const std::string& value) {
    const std::optional<long long> n = numbers::readWhole(value);
    if (!n || *n < 1 || *n > limits::kMaxBufferSide)
        throw cli::usage(std::string(option) + " takes a whole number from 1 to " +
                         std::to_string(limits::kMaxBufferSide));
}

void gridSize(const char* option, const std::string& value) {
    const auto wh = sides(value);
    if (!wh)
        throw cli::usage(std::string(option) +
                         " takes WxH, the most characters a line by the most lines (for example 80x24)");
    gridSide(option, wh->first);
    gridSide(option, wh->second);
}

void factors(const char* option, const std::string& value) {
    const auto hv = sides(value);
    const std::optional<long long> h = hv ? numbers::readWhole(hv->first) : std::nullopt,
                                   v = hv ? numbers::readWhole(hv->second) : std::nullopt;
    if (!h || !v || hv->first.size() > 9 || hv->second.size() > 9 || *h < 1 || *v < 1)
        throw cli::usage(std::string(option) +
                         " takes HxV, two whole numbers of at least 1 (for example 8x16)");
}

void points(const char* option, const std::string& value) {
    if (numbers::readNumber(value))
        return;
    // chafa's --size is the text's: here it is the font's.
    if (const auto wh = sides(value))
        throw cli::usage(std::string(option) + " is the font's size in points here; for a text of " +
                         wh->first + " x " + wh->second + " characters, -s " + value + " or --columns " +
                         wh->first + " --rows " + wh->second);
    throw cli::usage(std::string(option) + " takes a number of points");
}

void brightness(const char* option, const std::string& value) {
    wholeWithin(option, value, -choice::kMaxBrightness, choice::kMaxBrightness);
}

void contrast(const char* option, const std::string& value) {
    wholeWithin(option, value, -choice::kMaxContrast, choice::kMaxContrast);
}

void gamma(const char* option, const std::string& value) {
    const std::optional<double> g = numbers::readNumber(value);
    if (!g || !(*g >= choice::kMinGamma && *g <= choice::kMaxGamma))
        throw cli::usage(std::string(option) + " takes a number from 0.1 to 10");
}

void plays(const char* option, const std::string& value) {
    const std::optional<long long> n = numbers::readWhole(value);
    if (!n || *n < 1)
        throw cli::usage(std::string(option) + " takes a whole number of at least 1");
}

void seconds(const char* option, const std::string& value) {
    // Beyond a day a bound is no bound, and the clock's end would overflow (infinity among them).
    const std::optional<double> s = numbers::readNumber(value);
    if (!(s && *s > 0 && *s <= kMaxSeconds))
        throw cli::usage(std::string(option) + " takes a number of seconds above 0, at most a day (86400)");
}

} // namespace option_values
