// Minimal checks for the Wine test hosts (GoogleTest is not built for MinGW here).
// A host prints one line per check, prints the values it got as "name=value" lines
// in UTF-8, and returns the number of failed checks as its exit code.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

namespace winecheck {

inline int& Failures() {
    static int failures = 0;
    return failures;
}

inline bool Report(bool ok, const char* expression, const char* file, int line) {
    if (!ok) {
        ++Failures();
    }
    std::printf("%s - %s (%s:%d)\n", ok ? "ok  " : "FAIL", expression, file, line);
    std::fflush(stdout);
    return ok;
}

inline std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0],
                            size, nullptr, nullptr);
    }
    return utf8;
}

inline void Value(const char* name, const std::wstring& value) {
    std::printf("%s=%s\n", name, ToUtf8(value).c_str());
    std::fflush(stdout);
}

inline void Value(const char* name, unsigned long value) {
    std::printf("%s=%lu\n", name, value);
    std::fflush(stdout);
}

inline int ExitCode() {
    std::printf("%d check(s) failed\n", Failures());
    return Failures();
}

}  // namespace winecheck

// Evaluates to the condition, so a host can stop when a precondition fails.
#define WINE_CHECK(condition) ::winecheck::Report((condition), #condition, __FILE__, __LINE__)
