// The trace front functions. Each one hands its texts to the logger of the calling
// module under the registry lock, swallows every failure and leaves the caller's
// last error as it was (appending to the log sets ERROR_ALREADY_EXISTS).
#include <ssolog/trace.h>

#include "logger_registry.h"

#include <platform/win32_raii.h>

namespace ssolog {

void TraceResult(const wchar_t* text, const wchar_t* detail) {
    platform::LastErrorPreserver preserveError;
    try {
        WithModuleLogger([&](DebugLog& logger) { logger.WriteLine(text, detail); });
    } catch (...) {
        // A trace never fails towards its caller.
    }
}

void TraceMessage(const wchar_t* text) { TraceResult(text, nullptr); }

void TraceNumber(const wchar_t* text, int value) {
    platform::LastErrorPreserver preserveError;
    try {
        WithModuleLogger([&](DebugLog& logger) {
            WCHAR number[32] = {};
            wsprintfW(number, L"%d (0x%x)", value, value);
            logger.WriteLine(text, number);
        });
    } catch (...) {
        // A trace never fails towards its caller.
    }
}

bool IsTraceEnabled() {
    platform::LastErrorPreserver preserveError;
    bool enabled = false;
    try {
        WithModuleLogger([&](DebugLog& logger) {
            logger.RefreshConfig();
            enabled = logger.IsEnabled();
        });
    } catch (...) {
        return false;
    }
    return enabled;
}

void TraceNumberNarrow(const char* narrowText, int value) {
    if (narrowText == nullptr) return;
    // No conversion while logging is off.
    if (!IsTraceEnabled()) return;
    platform::LastErrorPreserver preserveError;
    try {
        // A failed conversion traces an empty text.
        std::wstring text;
        Utf8ToWide(narrowText, text);
        TraceNumber(text.c_str(), value);
    } catch (...) {
        // A trace never fails towards its caller.
    }
}

TraceScope::TraceScope(const wchar_t* text) : text_(text), start_(timeGetTime()) {
    TraceResult(text_, L">> in");
}

TraceScope::~TraceScope() {
    platform::LastErrorPreserver preserveError;
    WCHAR elapsed[128] = {};
    // Unsigned difference: right across the wrap of the millisecond counter.
    wsprintfW(elapsed, L"<< out - %d [msec]", static_cast<int>(timeGetTime() - start_));
    TraceResult(text_, elapsed);
}

}  // namespace ssolog
