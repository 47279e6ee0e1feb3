#pragma once

#include <stdexcept>
#include <string>

namespace qv {

// A failure carrying the number and description that messages show to the user
// ("Read options error " + description + number, "file error " + number, ...).
class AppError : public std::runtime_error {
  public:
    AppError(int number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    int number() const { return number_; }
    const std::string& description() const { return description_; }

  private:
    int number_;
    std::string description_;
};

// The numbers users know from the original platform's run-time messages.
namespace err {
constexpr int invalid_argument = 5;    // "Invalid procedure call or argument"
constexpr int overflow = 6;            // "Overflow"
constexpr int subscript = 9;           // "Subscript out of range"
constexpr int type_mismatch = 13;      // "Type mismatch"
constexpr int file_not_found = 53;     // "File not found"
constexpr int past_end = 62;           // "Input past end of file"
constexpr int permission_denied = 70;  // "Permission denied"
constexpr int path_access = 75;        // "Path/File access error"
constexpr int path_not_found = 76;     // "Path not found"
constexpr int invalid_null = 94;       // "Invalid use of Null"
constexpr int duplicate_key =
    457;  // "This key is already associated with an element of this collection"
constexpr int db_not_found = 3024;     // "Couldn't find file"
constexpr int db_unrecognised = 3343;  // "Unrecognized database format"
constexpr int db_locked = 3051;        // "The engine cannot open the file"
constexpr int db_syntax = 3075;        // "Syntax error in query expression"
constexpr int cancelled = 32755;       // a chooser was cancelled
}  // namespace err

inline AppError invalid_argument_error() {
    return AppError(err::invalid_argument, "Invalid procedure call or argument");
}
inline AppError type_mismatch_error() {
    return AppError(err::type_mismatch, "Type mismatch");
}
inline AppError file_not_found_error() {
    return AppError(err::file_not_found, "File not found");
}
inline AppError past_end_error() {
    return AppError(err::past_end, "Input past end of file");
}
inline AppError path_access_error() {
    return AppError(err::path_access, "Path/File access error");
}
inline AppError permission_denied_error() {
    return AppError(err::permission_denied, "Permission denied");
}
// A file that another program kept locked for longer than a save waits: to code that does not
// tell it apart, the "Permission denied" of any refused access.
class FileBusyError : public AppError {
  public:
    FileBusyError() : AppError(err::permission_denied, "Permission denied") {}
};
inline AppError duplicate_key_error() {
    return AppError(err::duplicate_key,
                    "This key is already associated with an element of this collection");
}
inline AppError cancelled_error() {
    return AppError(err::cancelled, "Cancel was selected.");
}

}  // namespace qv
