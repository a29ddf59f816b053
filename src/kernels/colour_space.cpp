#include "kernels/colour_space.h"

#include <cmath>

namespace colours {

Lab lab(px::Pixel p) {
    const auto linear = [](int v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double r = linear(px::red(p)), g = linear(px::green(p)), b = linear(px::blue(p));
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

namespace {

constexpr double kPi = 3.14159265358979323846;

double degrees(double radians) {
    const double d = radians * 180 / kPi;
    return d < 0 ? d + 360 : d;
}

double radians(double degrees) {
    return degrees * kPi / 180;
}

} // namespace

double ciede2000(px::Pixel first, px::Pixel second) {
    return ciede2000(lab(first), lab(second));
}

double ciede2000(const Lab& x, const Lab& y) {
    const double c1 = std::hypot(x.a, x.b), c2 = std::hypot(y.a, y.b), cm = (c1 + c2) / 2;
    const double g = 0.5 * (1 - std::sqrt(std::pow(cm, 7) / (std::pow(cm, 7) + std::pow(25.0, 7))));
    const double a1 = (1 + g) * x.a, a2 = (1 + g) * y.a;
    const double cp1 = std::hypot(a1, x.b), cp2 = std::hypot(a2, y.b);
    const double h1 = cp1 == 0 ? 0 : degrees(std::atan2(x.b, a1)),
                 h2 = cp2 == 0 ? 0 : degrees(std::atan2(y.b, a2));
    const double dl = y.l - x.l, dc = cp2 - cp1;
    double dh = 0;
    if (cp1 * cp2 != 0)
        dh = std::abs(h2 - h1) <= 180 ? h2 - h1 : h2 - h1 > 180 ? h2 - h1 - 360 : h2 - h1 + 360;
    const double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(radians(dh / 2));
    const double lm = (x.l + y.l) / 2, cpm = (cp1 + cp2) / 2;
    double hm = h1 + h2;
    if (cp1 * cp2 != 0)
        hm = std::abs(h1 - h2) <= 180 ? (h1 + h2) / 2
             : h1 + h2 < 360          ? (h1 + h2 + 360) / 2
                                      : (h1 + h2 - 360) / 2;
    const double t = 1 - 0.17 * std::cos(radians(hm - 30)) + 0.24 * std::cos(radians(2 * hm)) +
                     0.32 * std::cos(radians(3 * hm + 6)) - 0.20 * std::cos(radians(4 * hm - 63));
    const double sl = 1 + 0.015 * (lm - 50) * (lm - 50) / std::sqrt(20 + (lm - 50) * (lm - 50));
    const double sc = 1 + 0.045 * cpm, sh = 1 + 0.015 * cpm * t;
    const double rt = -2 * std::sqrt(std::pow(cpm, 7) / (std::pow(cpm, 7) + std::pow(25.0, 7))) *
                      std::sin(radians(60 * std::exp(-std::pow((hm - 275) / 25, 2))));
    const double kl = dl / sl, kc = dc / sc, kh = dH / sh;
    return std::sqrt(kl * kl + kc * kc + kh * kh + rt * kc * kh);
}

} // namespace colours
