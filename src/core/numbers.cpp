#include "core/numbers.h"

#include "base/numbers.h"

#include <QLocale>

namespace num {

namespace {

std::string decimalMark() {
    return QLocale().decimalPoint().toStdString();
}

} // namespace

double val(const QString& text) {
    return numbers::val(text.toStdString());
}

double strictToDouble(const QString& text) {
    // Numbers as the user's locale writes them, as Qt knows its locales.
    return numbers::strictToDouble(text.toStdString(), [](std::string_view t) -> std::optional<double> {
        bool ok = false;
        const double v = QLocale().toDouble(QString::fromUtf8(t.data(), qsizetype(t.size())), &ok);
        return ok ? std::optional<double>(v) : std::nullopt;
    });
}

double roundHalfEven(double value) {
    return numbers::roundHalfEven(value);
}

int16_t toInt16(double value) {
    return numbers::toInt16(value);
}

int32_t toInt32(double value) {
    return numbers::toInt32(value);
}

QString format(double value) {
    return QString::fromStdString(numbers::format(value, decimalMark()));
}

QString formatSingle(double value) {
    return QString::fromStdString(numbers::formatSingle(value, decimalMark()));
}

} // namespace num
