// The trace front functions: every diagnostic line of the library goes through here
// to the logger registered for the calling module ("session.log"), or to the default
// logger ("kwarden.log"). None of them fails, throws or changes GetLastError().
#pragma once

#include <platform/win32.h>

#include <string>

namespace ssolog {

void TraceMessage(const wchar_t* text);
void TraceNumber(const wchar_t* text, int value);
void TraceResult(const wchar_t* text, const wchar_t* detail);
void TraceNumberNarrow(const char* narrowText, int value);
bool IsTraceEnabled();

// Writes ">> in" now and "<< out - N [msec]" when it goes out of scope.
class TraceScope {
public:
    explicit TraceScope(const wchar_t* text);
    ~TraceScope();
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    const wchar_t* text_;
    DWORD start_;
};

bool Utf8ToWide(const char* narrowText, std::wstring& wideText);
std::string WideToUtf8(const wchar_t* text);

// Called by the module entry point only.
void RegisterModuleLogger();
void UnregisterModuleLogger();

}  // namespace ssolog
