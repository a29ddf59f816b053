#pragma once

#include "kernels/errors.h"

#include <QString>
#include <stdexcept>
#include <utility>

// The error the program's handlers catch: the platform's error number, a description for the "ERROR:"
// boxes, and the kind of problem for code that handles some cases itself.
class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(int number, const QString& description = QString(),
                           err::Kind kind = err::Kind::General);
    explicit PlatformError(const KernelError& e);

    int number() const { return number_; }
    QString description() const { return description_; }
    err::Kind kind() const { return kind_; }

  private:
    int number_;
    QString description_;
    err::Kind kind_;
};

// The standard description of an error number ("File not found" for 53).
QString errorDescription(int number);

[[noreturn]] void raiseError(int number, const QString& description = QString(),
                             err::Kind kind = err::Kind::General);

// Runs kernel code, turning what it raises into the program's error.
template <class Fn> decltype(auto) fromKernels(Fn&& fn) {
    try {
        return std::forward<Fn>(fn)();
    } catch (const KernelError& e) {
        throw PlatformError(e);
    }
}
