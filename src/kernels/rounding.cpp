#include "kernels/rounding.h"

#include "kernels/errors.h"

#include <cmath>

namespace rounding {

double halfEven(double value) {
    return std::nearbyint(value); // the default rounding mode is to nearest, ties to even
}

int32_t toInt32(double value) {
    const double r = halfEven(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        err::raise(err::Overflow);
    return static_cast<int32_t>(r);
}

} // namespace rounding
