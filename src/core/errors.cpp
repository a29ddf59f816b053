#include "core/errors.h"

QString errorDescription(int number) {
    return QString::fromStdString(err::description(number));
}

PlatformError::PlatformError(int number, const QString& description, err::Kind kind)
    : std::runtime_error(QString::number(number).toStdString()), number_(number),
      description_(description.isEmpty() ? errorDescription(number) : description), kind_(kind) {}

PlatformError::PlatformError(const KernelError& e)
    : PlatformError(e.number(), QString::fromUtf8(e.what()), e.kind()) {}

void raiseError(int number, const QString& description, err::Kind kind) {
    throw PlatformError(number, description, kind);
}
