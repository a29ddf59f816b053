#include "core/numbers.h"

#include "core/errors.h"
#include "kernels/rounding.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace num {

namespace {

bool isSkipped(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
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
            raiseError(err::Overflow);
    }
    const bool shortForm = radix == 16 ? digits.size() <= 4 : v <= 0xFFFF;
    if (shortForm && v <= 0xFFFF)
        return static_cast<int16_t>(static_cast<uint16_t>(v));
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

} // namespace

double val(const QString& text) {
    std::string s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (isSkipped(c))
            continue;
        s.push_back(c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x01');
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
        raiseError(err::Overflow);
    return v;
}

double strictToDouble(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        raiseError(err::TypeMismatch);
    if (t.startsWith(u'&')) {
        // Only a complete radix literal is a number.
        const QString rest = t.mid(2);
        const QChar kind = t.size() > 1 ? t.at(1).toUpper() : QChar();
        bool ok = !rest.isEmpty() && (kind == u'H' || kind == u'O');
        for (QChar c : rest)
            ok = ok && (kind == u'H' ? QStringLiteral("0123456789abcdefABCDEF").contains(c)
                                     : (c >= u'0' && c <= u'7'));
        if (!ok)
            raiseError(err::TypeMismatch);
        return val(t);
    }
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (!ok) {
        // QLocale reports overflow as failure too; tell the two apart.
        const double big = std::strtod(t.toLatin1().constData(), nullptr);
        if (std::isinf(big) && !t.contains(QLatin1String("inf"), Qt::CaseInsensitive))
            raiseError(err::Overflow);
        raiseError(err::TypeMismatch);
    }
    if (std::isinf(v) || std::isnan(v))
        raiseError(err::TypeMismatch);
    return v;
}

double roundHalfEven(double value) {
    return rounding::halfEven(value);
}

int16_t toInt16(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0))
        raiseError(err::Overflow);
    return static_cast<int16_t>(r);
}

int32_t toInt32(double value) {
    return rounding::toInt32(value);
}

namespace {
QString formatDigits(double value, int digits) {
    if (value == 0)
        return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, value);
    QString s = QString::fromLatin1(buf);
    const QString mark = QLocale().decimalPoint();
    if (mark != QLatin1String("."))
        s.replace(u'.', mark);
    return s;
}
} // namespace

QString format(double value) {
    return formatDigits(value, 15);
}

QString formatSingle(double value) {
    return formatDigits(double(float(value)), 7);
}

} // namespace num
