#pragma once

#include "kernels/errors.h"

#include <QString>

// The program's error as its windows show it: the description for the "ERROR:" boxes and the status line.
QString errorText(const err::Error& e);

// The standard description of an error number ("File not found" for 53).
QString errorDescription(int number);

// The error with a description in the program's own text (empty: the number's standard one).
err::Error makeError(int number, const QString& description = QString(), err::Kind kind = err::Kind::General);

// Raises the error with a description in the program's own text (empty: the number's standard one).
[[noreturn]] void raiseError(int number, const QString& description = QString(),
                             err::Kind kind = err::Kind::General);
