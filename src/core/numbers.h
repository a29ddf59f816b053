#pragma once

#include <QString>
#include <cstdint>

// The two text-to-number conversions and the rounding rules the program relies on, for its text boxes:
// the plain conversions (base/numbers.h) in the locale the windows use.
namespace num {

// Lenient: the leading number of the text, "." as decimal mark whatever the locale, blanks, tabs and
// line feeds skipped anywhere, "&H"/"&O" prefixes understood; a text without a number gives 0.
double val(const QString& text);

// Strict and locale-aware: the whole text must be a number (blanks around it allowed), else error 13.
double strictToDouble(const QString& text);

// Nearest whole number, an exact half to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Rounded like roundHalfEven, then range-checked: error 6 when the result does not fit.
int16_t toInt16(double value);
int32_t toInt32(double value);

// The general decimal text of a double: up to 15 significant digits, no trailing zeros, exponent form
// ("1E+15", "1E-05") outside the plain range, the locale's decimal mark.
QString format(double value);
// The same for a single-precision value: seven significant digits (9.1f gives "9.1").
QString formatSingle(double value);

} // namespace num
