// Lifetime of a logger and its held-back lines.
#include "debug_log.h"

#include "log_limits.h"

#include <platform/win32_raii.h>

namespace ssolog {

DebugLog::DebugLog(const wchar_t* name)
    : directory(),
      fileName(name != nullptr ? name : L"kwarden.log"),
      maxFileSize(kDefaultMaxFileSize),
      lastConfigRead(0),
      lastSizeCheck(0),
      enabled(false),
      pending(),
      writersWaitTimedOut(false),
      writersWaitTimedOutAt(0) {
    InitializeCriticalSection(&lock);
}

DebugLog::~DebugLog() {
    FlushPending();
    DeleteCriticalSection(&lock);
}

bool DebugLog::IsEnabled() {
    platform::CriticalSectionGuard guard(lock);
    return enabled;
}

void DebugLog::QueuePending(const char* line) {
    if (line == nullptr) return;
    try {
        pending.emplace_back(line);
        if (pending.size() > kMaxPendingLines) pending.pop_front();
    } catch (...) {
        // Out of memory: the line is lost, the ones already held stay.
    }
}

}  // namespace ssolog
