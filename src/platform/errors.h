#pragma once

#include <QString>
#include <stdexcept>

// Error numbers the program's handlers tell apart; each carries a description for the "ERROR:" boxes.
namespace err {
constexpr int InvalidArgument = 5;
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidPropertyValue = 380;
constexpr int InvalidPicture = 481;
constexpr int Cancel = 32755;
} // namespace err

class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(int number, const QString& description = QString());

    int number() const { return number_; }
    QString description() const { return description_; }

  private:
    int number_;
    QString description_;
};

// The standard description of an error number ("File not found" for 53).
QString errorDescription(int number);

[[noreturn]] void raiseError(int number, const QString& description = QString());
