#include "platform/errors.h"

QString errorDescription(int number) {
    switch (number) {
    case err::InvalidArgument:
        return QStringLiteral("Invalid procedure call or argument");
    case err::Overflow:
        return QStringLiteral("Overflow");
    case err::OutOfMemory:
        return QStringLiteral("Out of memory");
    case err::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case err::DivisionByZero:
        return QStringLiteral("Division by zero");
    case err::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case err::FileNotFound:
        return QStringLiteral("File not found");
    case err::PermissionDenied:
        return QStringLiteral("Permission denied");
    case err::PathFileAccess:
        return QStringLiteral("Path/File access error");
    case err::PathNotFound:
        return QStringLiteral("Path not found");
    case err::InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case err::InvalidPicture:
        return QStringLiteral("Invalid picture");
    case err::Cancel:
        return QStringLiteral("Cancel was selected.");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

PlatformError::PlatformError(int number, const QString& description)
    : std::runtime_error(QString::number(number).toStdString()), number_(number),
      description_(description.isEmpty() ? errorDescription(number) : description) {}

void raiseError(int number, const QString& description) {
    throw PlatformError(number, description);
}
