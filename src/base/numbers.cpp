#include "base/numbers.h"

#include "kernels/errors.h"
#include "kernels/rounding.h"
#include "kernels/text_encoding.h"

#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

namespace numbers {

namespace {

bool isSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// Reads "&H..." or "&O..." digits (blanks already removed); the value is 16-bit signed for up to four hex
// digits (six octal) and 32-bit signed for longer ones, as the platform's own conversion does.
double radixValue(const std::string& digits, int radix) {
    if (digits.empty())
        return 0;
    uint64_t v = 0;
    for (char c : digits) {
        v = v * radix + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                                  ? c - '0'
                                                  : std::toupper(c) - 'A' + 10);
        if (v > 0xFFFFFFFFull)
            err::raise(err::Overflow);
    }
    const bool shortForm = radix == 16 ? digits.size() <= 4 : v <= 0xFFFF;
    if (shortForm && v <= 0xFFFF)
        return static_cast<int16_t>(static_cast<uint16_t>(v));
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// White space as the program's text boxes trim it: the Unicode spaces and separators, and the controls
// tab to carriage return and U+0085.
bool isSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

std::u32string trimmed(std::string_view utf8) {
    std::u32string text;
    if (!textcode::decodeUtf8(utf8, text))
        text = textcode::decode(utf8);
    size_t begin = 0, end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

char32_t upper(char32_t c) {
    return c >= U'a' && c <= U'z' ? c - 32 : c;
}

// The radix literal of the strict conversion: the whole rest must be digits of its radix.
bool isRadixLiteral(const std::u32string& t) {
    if (t.size() < 3)
        return false;
    const char32_t kind = upper(t[1]);
    if (kind != U'H' && kind != U'O')
        return false;
    for (size_t i = 2; i < t.size(); ++i) {
        const char32_t c = t[i];
        const bool hex = isDigit(c) || (upper(c) >= U'A' && upper(c) <= U'F');
        if (kind == U'H' ? !hex : !(c >= U'0' && c <= U'7'))
            return false;
    }
    return true;
}

char32_t singleMark(const char* text, char32_t fallback) {
    std::u32string mark;
    if (!text || !textcode::decodeUtf8(text, mark) || mark.size() != 1)
        return fallback;
    return mark[0];
}

} // namespace

double val(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (isSkipped(c))
            continue;
        s.push_back(static_cast<unsigned char>(c) < 128 ? c : '\x01');
    }
    size_t i = 0;
    if (s.size() >= 2 && s[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
        if (kind == 'H' || kind == 'O') {
            const int radix = kind == 'H' ? 16 : 8;
            std::string digits;
            for (i = 2; i < s.size(); ++i) {
                const char c = s[i];
                const bool ok =
                    radix == 16 ? std::isxdigit(static_cast<unsigned char>(c)) : (c >= '0' && c <= '7');
                if (!ok)
                    break;
                digits.push_back(c);
            }
            return radixValue(digits, radix);
        }
    }
    // Decimal: [sign] digits [. digits] [E|D [sign] digits]
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        number.push_back(s[i++]);
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        number.push_back(s[i++]);
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            number.push_back(s[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && (std::toupper(static_cast<unsigned char>(s[i])) == 'E' ||
                         std::toupper(static_cast<unsigned char>(s[i])) == 'D')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exponent.push_back(s[j++]);
        bool expDigits = false;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exponent.push_back(s[j++]);
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    const double v = std::strtod(number.c_str(), nullptr);
    if (std::isinf(v))
        err::raise(err::Overflow);
    return v;
}

std::optional<double> readLocaleNumber(std::string_view utf8, Marks marks) {
    std::u32string t;
    if (!textcode::decodeUtf8(utf8, t))
        return std::nullopt;
    // Written out in the C locale's form for strtod, which then does the arithmetic.
    std::string c;
    size_t i = 0;
    if (i < t.size() && (t[i] == U'+' || t[i] == U'-' || t[i] == U'\u2212'))
        c.push_back(t[i++] == U'+' ? '+' : '-');
    // Whole digits, in groups of three after the first group mark.
    int run = 0, groups = 0;
    bool whole = false;
    for (; i < t.size() && (isDigit(t[i]) || (t[i] == marks.group && marks.group != marks.decimal)); ++i) {
        if (t[i] == marks.group) {
            if (run == 0 || run > 3 || (groups > 0 && run != 3))
                return std::nullopt;
            ++groups;
            run = 0;
            continue;
        }
        c.push_back(char(t[i]));
        ++run;
        whole = true;
    }
    if (groups > 0 && run != 3)
        return std::nullopt;
    bool fraction = false;
    if (i < t.size() && t[i] == marks.decimal) {
        c.push_back('.');
        for (++i; i < t.size() && isDigit(t[i]); ++i) {
            c.push_back(char(t[i]));
            fraction = true;
        }
    }
    if (!whole && !fraction)
        return std::nullopt;
    if (i < t.size() && upper(t[i]) == U'E') {
        c.push_back('e');
        ++i;
        if (i < t.size() && (t[i] == U'+' || t[i] == U'-' || t[i] == U'\u2212'))
            c.push_back(t[i++] == U'+' ? '+' : '-');
        bool exponent = false;
        for (; i < t.size() && isDigit(t[i]); ++i) {
            c.push_back(char(t[i]));
            exponent = true;
        }
        if (!exponent)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    const double v = std::strtod(c.c_str(), nullptr);
    // Too large, or so small that nothing of a non-zero number is left: not a number the locale reads.
    if (std::isinf(v) || (v == 0 && c.find_first_of("123456789") < c.find('e')))
        return std::nullopt;
    return v;
}

Marks userMarks() {
    Marks marks;
    const locale_t user = ::newlocale(LC_NUMERIC_MASK, "", locale_t(0));
    if (!user)
        return marks;
    marks.decimal = singleMark(::nl_langinfo_l(RADIXCHAR, user), U'.');
    marks.group = singleMark(::nl_langinfo_l(THOUSEP, user), marks.decimal == U',' ? U'.' : U',');
    ::freelocale(user);
    return marks;
}

std::optional<double> readUserNumber(std::string_view text) {
    static const Marks marks = userMarks();
    return readLocaleNumber(text, marks);
}

double strictToDouble(std::string_view text, const LocaleReader& locale) {
    const std::u32string t = trimmed(text);
    if (t.empty())
        err::raise(err::TypeMismatch);
    const std::string utf8 = textcode::utf8(t);
    if (t[0] == U'&') {
        // Only a complete radix literal is a number.
        if (!isRadixLiteral(t))
            err::raise(err::TypeMismatch);
        return val(utf8);
    }
    std::optional<double> v = locale ? locale(utf8) : std::nullopt;
    if (!v)
        v = readLocaleNumber(utf8, Marks{});
    if (!v) {
        // A number too large is told apart from a text that is none.
        const double big = std::strtod(utf8.c_str(), nullptr);
        bool namesInfinity = false;
        for (size_t i = 0; i + 3 <= t.size(); ++i)
            namesInfinity =
                namesInfinity || (upper(t[i]) == U'I' && upper(t[i + 1]) == U'N' && upper(t[i + 2]) == U'F');
        if (std::isinf(big) && !namesInfinity)
            err::raise(err::Overflow);
        err::raise(err::TypeMismatch);
    }
    if (std::isinf(*v) || std::isnan(*v))
        err::raise(err::TypeMismatch);
    return *v;
}

double roundHalfEven(double value) {
    return rounding::halfEven(value);
}

int16_t toInt16(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0))
        err::raise(err::Overflow);
    return static_cast<int16_t>(r);
}

int32_t toInt32(double value) {
    return rounding::toInt32(value);
}

namespace {

std::string formatDigits(double value, int digits, std::string_view mark) {
    if (value == 0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, value);
    std::string s;
    for (const char* p = buf; *p; ++p) {
        if (*p == '.')
            s += mark;
        else
            s.push_back(*p);
    }
    return s;
}

} // namespace

std::string format(double value, std::string_view decimalMark) {
    return formatDigits(value, 15, decimalMark);
}

std::string formatSingle(double value, std::string_view decimalMark) {
    return formatDigits(double(float(value)), 7, decimalMark);
}

std::optional<double> readNumber(const std::string& text) {
    if (text.find_first_of("xX") != std::string::npos)
        return std::nullopt;
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin)
        return std::nullopt;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == 0 ? std::optional(value) : std::nullopt;
}

std::optional<long long> readWhole(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(text);
}

std::optional<long long> readSignedWhole(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::optional<long long> n =
        readWhole(negative || (!text.empty() && text[0] == '+') ? text.substr(1) : text);
    return n ? std::optional(negative ? -*n : *n) : std::nullopt;
}

} // namespace numbers
