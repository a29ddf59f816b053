#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The two text-to-number conversions and the rounding and writing of numbers the programs rely on, below
// any toolkit. Texts are UTF-8.
namespace numbers {

// Lenient: the leading number of the text, "." as decimal mark whatever the locale, blanks, tabs and
// line feeds skipped anywhere, "&H"/"&O" prefixes understood; a text without a number gives 0. Raises 6
// for a number too large for a double.
double val(std::string_view text);

// The marks a locale writes numbers with.
struct Marks {
    char32_t decimal = U'.';
    char32_t group = U',';
};

// A number written as a locale writes it, the whole text: an optional sign, digits in groups of three
// between group marks, a decimal mark and digits, an exponent; nothing else. Nothing when it is not one
// (nor when it is too large for a double).
std::optional<double> readLocaleNumber(std::string_view text, Marks marks);

// Reads the whole text in the user's locale; nothing when it is not a number there.
using LocaleReader = std::function<std::optional<double>(std::string_view text)>;

// The marks of the user's locale as the C library's locales tell them (from LC_ALL, LC_NUMERIC, LANG),
// read without changing the process's locale.
Marks userMarks();
// readLocaleNumber in the user's marks.
std::optional<double> readUserNumber(std::string_view text);

// Strict and locale-aware: the whole text must be a number (blanks around it allowed), read in the locale
// and, failing that, as the C locale writes it; else error 13, or 6 for a number too large.
double strictToDouble(std::string_view text, const LocaleReader& locale = readUserNumber);

// A command line's numbers, the whole text as the C library reads it in the C locale (blanks after it
// aside), no hexadecimal form: nothing when it is not one.
std::optional<double> readNumber(const std::string& text);
// A whole number of at most ten digits, without a sign, or with one (readSignedWhole).
std::optional<long long> readWhole(const std::string& text);
std::optional<long long> readSignedWhole(const std::string& text);

// Nearest whole number, an exact half to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Rounded like roundHalfEven, then range-checked: error 6 when the result does not fit.
int16_t toInt16(double value);
int32_t toInt32(double value);

// The general decimal text of a double: up to 15 significant digits, no trailing zeros, exponent form
// ("1E+15", "1E-05") outside the plain range, `decimalMark` (UTF-8) as the decimal mark.
std::string format(double value, std::string_view decimalMark = ".");
// The same for a single-precision value: seven significant digits (9.1f gives "9.1").
std::string formatSingle(double value, std::string_view decimalMark = ".");

} // namespace numbers
