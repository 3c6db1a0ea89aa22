#pragma once
// Failures cross module boundaries as values: Result<T> holds either a value or an Error.

#include <string>
#include <utility>
#include <variant>

namespace trimlet {

enum class ErrorCode {
    Io,           // the file could not be opened, read or written
    Unsupported,  // the extension or a feature of the file is not one we take
    Corrupt,      // truncated, inconsistent or undecodable data
    TooLarge,     // the picture's 24-bit rendering would pass the size cap
    Exists,       // the target exists and replacing it was not asked for
    Invalid,      // a caller passed something unusable (empty picture, bad quality)
};

// Why the system refused to read or write a file, where it said so; Unknown for any other error.
enum class IoCause {
    Unknown,
    DiskFull,     // no space left, or the user's quota spent
    NotAllowed,   // no permission, or a read-only file system
    NameTooLong,  // a name or the whole path longer than the file system takes
    NoFolder,     // a folder on the way is missing
};

struct Error {
    ErrorCode code;
    std::string message;
    IoCause cause = IoCause::Unknown;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// Result of an operation that yields nothing but success or an Error.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : error_(std::move(error)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Error& error() const { return error_; }

private:
    Error error_{ErrorCode::Invalid, {}};
    bool ok_ = true;
};

inline Error makeError(ErrorCode code, std::string message) { return Error{code, std::move(message)}; }

}  // namespace trimlet
