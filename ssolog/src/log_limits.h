// The fixed numbers of the diagnostic log.
#pragma once

#include <platform/win32.h>

namespace ssolog {

constexpr DWORD kDefaultMaxFileSize = 10485760;  // 10 MiB
constexpr __time64_t kRefreshWhileOnSeconds = 10;
constexpr __time64_t kRefreshWhileOffSeconds = 2;
constexpr __time64_t kSizeCheckSeconds = 10;
constexpr size_t kMaxPendingLines = 100;

// Writers of every process lock one byte far past any real end of the log file around
// each line they append (the range is a token, not data).
constexpr ULONGLONG kWritersLockOffset = 0x7FFFFFFF00000000ull;
constexpr DWORD kWritersLockLength = 1;
// How long a line waits for that lock before it is written without it, how many attempts
// only yield the processor before the next ones pause, that pause, and how long after such
// a timeout lines do not wait at all.
constexpr DWORD kWritersLockWaitMs = 50;
constexpr unsigned kWritersLockYields = 16;
constexpr DWORD kWritersLockRetryMs = 1;
constexpr DWORD kWritersLockBackOffMs = 10000;

}  // namespace ssolog
