#pragma once

#include <cstdint>

// Rounding as the programs do it: to the nearest whole number, an exact half to the even neighbour.
namespace rounding {

double halfEven(double value);

// Rounded like halfEven; raises Overflow (6) when the result does not fit 32 bits.
int32_t toInt32(double value);

} // namespace rounding
