#include "core/errors.h"

QString errorText(const err::Error& e) {
    return QString::fromStdString(e.description());
}

QString errorDescription(int number) {
    return QString::fromStdString(err::description(number));
}

err::Error makeError(int number, const QString& description, err::Kind kind) {
    return err::Error(number, description.toStdString(), kind);
}

void raiseError(int number, const QString& description, err::Kind kind) {
    throw makeError(number, description, kind);
}
