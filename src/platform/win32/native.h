// Internal to the Win32 layer: <windows.h> and the small conversions its files
// share. Nothing outside platform/win32/ includes this header.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace brenvik::win32 {

// UTF-8 to UTF-16 for the wide API (MultiByteToWideChar with CP_UTF8).
// Invalid UTF-8 becomes U+FFFD.
std::wstring Widen(std::string_view utf8);

// UTF-16 to UTF-8 (WideCharToMultiByte with CP_UTF8).
std::string Narrow(std::wstring_view utf16);

// A kernel handle that is closed with CloseHandle when the owner goes.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release()
    {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset(HANDLE handle = nullptr)
    {
        if (*this)
            CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace brenvik::win32
