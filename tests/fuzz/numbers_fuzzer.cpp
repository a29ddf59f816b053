// The lenient and the strict number conversions, and the general number text they write back.
#include "core/errors.h"
#include "core/numbers.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const auto convert : {&num::val, &num::strictToDouble}) {
        double v = 0;
        try {
            v = convert(text);
        } catch (const err::Error& e) {
            if (e.number() != err::TypeMismatch && e.number() != err::Overflow)
                std::abort();
            continue;
        }
        if (!std::isfinite(v))
            std::abort();
        // The general text reads back as the same number, to its fifteen significant digits.
        const double back = num::val(num::format(v));
        if (std::fabs(back - v) > std::fabs(v) * 1e-14)
            std::abort();
        try {
            num::toInt32(v);
            num::toInt16(v);
        } catch (const err::Error& e) {
            if (e.number() != err::Overflow)
                std::abort();
        }
    }
    return 0;
}
