#include "kernels/errors.h"

namespace err {

std::string description(int number) {
    switch (number) {
    case InvalidArgument:
        return "Invalid procedure call or argument";
    case Overflow:
        return "Overflow";
    case OutOfMemory:
        return "Out of memory";
    case SubscriptOutOfRange:
        return "Subscript out of range";
    case DivisionByZero:
        return "Division by zero";
    case TypeMismatch:
        return "Type mismatch";
    case FileNotFound:
        return "File not found";
    case PermissionDenied:
        return "Permission denied";
    case PathFileAccess:
        return "Path/File access error";
    case PathNotFound:
        return "Path not found";
    case InvalidPropertyValue:
        return "Invalid property value";
    case InvalidPicture:
        return "Invalid picture";
    case Cancel:
        return "Cancel was selected.";
    default:
        return "Application-defined or object-defined error";
    }
}

Error::Error(int number, const std::string& description, Kind kind)
    : std::runtime_error(description.empty() ? err::description(number) : description), number_(number),
      kind_(kind) {}

void raise(int number, const std::string& description, Kind kind) {
    throw Error(number, description, kind);
}

} // namespace err
