#pragma once

#include <stdexcept>
#include <string>

// The one error both programs raise and catch, from the kernels up: the platform's error number, the kind
// of problem, and a description in UTF-8. Code branches on the number and the kind, never on the wording
// of a description.
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

// What went wrong beyond the number, for callers that handle some cases themselves.
enum class Kind {
    General,
    UnsupportedColourSpace, // a JPEG the direct decoder cannot turn into RGB (CMYK, YCCK)
    Truncated,              // a picture whose data ends before the picture does
    TooManyScans,           // a progressive JPEG with an absurd number of scans
    TooLarge,               // decoding would take more memory than allowed
    Usage,                  // a converter command line it cannot act on
    Reported,               // already reported to the user; nothing more to say
};

// The standard description of an error number ("File not found" for 53), in UTF-8.
std::string description(int number);

// Default visibility: the converter and its Qt module, two shared objects, catch each other's errors.
class __attribute__((visibility("default"))) Error : public std::runtime_error {
  public:
    // An empty description takes the number's standard one.
    explicit Error(int number, const std::string& description = {}, Kind kind = Kind::General);

    int number() const { return number_; }
    Kind kind() const { return kind_; }
    // UTF-8; also what() returns.
    std::string description() const { return what(); }

  private:
    int number_;
    Kind kind_;
};

[[noreturn]] void raise(int number, const std::string& description = {}, Kind kind = Kind::General);

} // namespace err
