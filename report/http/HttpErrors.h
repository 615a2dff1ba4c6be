#pragma once
// Exceptions of the HTTP client: an error code, a message and the Win32 error
// of the failing call.
#include <windows.h>

#include <exception>
#include <string>

namespace Vardo {

class errmsg_exceptionW : public std::exception {
public:
    explicit errmsg_exceptionW(const std::wstring& message);
    const wchar_t* errmsg() const { return message_.c_str(); }
    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    std::wstring message_;
    std::string narrow_;
};

class httpclientexceptionW : public errmsg_exceptionW {
public:
    httpclientexceptionW(const std::wstring& message, int code = 0, DWORD lastError = 0)
        : errmsg_exceptionW(message), code_(code), lastError_(lastError) {}
    int ErrorCode() const { return code_; }
    DWORD Win32Error() const { return lastError_; }

private:
    int code_;
    DWORD lastError_;
};

// The message of an error code; "%s" is filled with the path ("NULL" when none).
std::wstring HttpErrorMessage(int code, const wchar_t* path = nullptr);
// Argument check failures carry code 0 and the given message.
[[noreturn]] void ThrowArgumentError(const wchar_t* message);
// Failures of the client: the code's message; withLastError adds GetLastError().
[[noreturn]] void ThrowHttpError(int code, bool withLastError = false, const wchar_t* path = nullptr);

}  // namespace Vardo
