#pragma once
// Failures travel as exceptions derived from one base with a UTF-8 message,
// like the class library's Exception; ClassName() names the type in reports.
#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }
    std::string Message;
};

// A value that cannot be converted to the type asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EConvertError"; }
};

// An OS call failed; Code is the original platform's error number
// (2 file not found, 3 path not found, 5 access denied, 32 sharing violation,
// 80 file exists, ...), so callers can make the decisions it made.
class EOSError : public Exception {
public:
    EOSError(std::string message, unsigned code) : Exception(std::move(message)), Code(code) {}
    const char* ClassName() const noexcept override { return "EOSError"; }
    unsigned Code;
};

// Opening or creating a file failed.
class EFOpenError : public EOSError {
public:
    using EOSError::EOSError;
    const char* ClassName() const noexcept override { return "EFOpenError"; }
};

} // namespace platform
